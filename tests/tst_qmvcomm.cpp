#include "fastclock.h"
#include "qmvcomm.h"
#include "simulator.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>

using Outcome = qmvComm::Outcome;
using qmvtest::FastClock;
using qmvtest::Simulator;

class tst_QmvComm : public QObject
{
    Q_OBJECT

private:
    // A link with its own messages recorded, on the simulator, port open.
    bool openOn(qmvComm &comm, Simulator &sim, const QStringList &faults);
    QStringList m_messages;
    FastClock m_fastClock{100.0};

private slots:
    void initTestCase();
    void init();

    void decodeSteps_data();
    void decodeSteps();

    void directWaits_data();
    void directWaits();

    void flagWaits_data();
    void flagWaits();

    void endedFromOutside_data();
    void endedFromOutside();
    void endedWhileMessageIsUp();
    void secondWaitIsRefused();

    void deviceThroughLink();
    void portDoesNotExist();
};

bool tst_QmvComm::openOn(qmvComm &comm, Simulator &sim, const QStringList &faults)
{
    if (!sim.start(faults))
        return false;
    comm.showMessage = [this](const QString &message) { m_messages << message; };
    comm.SetupPort();
    return comm.OpenPort();
}

void tst_QmvComm::initTestCase()
{
    if (!Simulator::available())
        QSKIP("QMV_CONTROLLER_SIM does not name the controller simulator");
}

void tst_QmvComm::init()
{
    m_messages.clear();
}

void tst_QmvComm::decodeSteps_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<int>("steps");
    QTest::addColumn<QByteArray>("flags"); // the flags set afterwards, of "HJL"
    QTest::addColumn<QByteArray>("left");

    QTest::newRow("two spaces then H and J, one step")
        << QByteArray("  HJ") << 1 << QByteArray("H") << QByteArray("J");
    QTest::newRow("two spaces then H and J, two steps")
        << QByteArray("  HJ") << 2 << QByteArray("HJ") << QByteArray();
    QTest::newRow("one letter per step")
        << QByteArray("LJH") << 1 << QByteArray("L") << QByteArray("JH");
    QTest::newRow("noise in front of H is dropped")
        << QByteArray("XH") << 1 << QByteArray("H") << QByteArray();
    QTest::newRow("line ends between replies")
        << QByteArray("H\r\nJ\r\n") << 2 << QByteArray("HJ") << QByteArray("\r\n");
    QTest::newRow("A, C and K have no effect")
        << QByteArray("ACK") << 3 << QByteArray() << QByteArray();
    QTest::newRow("K before H takes its own step")
        << QByteArray("KH") << 1 << QByteArray() << QByteArray("H");
    QTest::newRow("lower case is noise") << QByteArray("hjl") << 1 << QByteArray() << QByteArray();
    QTest::newRow("empty buffer") << QByteArray() << 1 << QByteArray() << QByteArray();
    QTest::newRow("noise only") << QByteArray("\r\n\x00?", 4) << 1 << QByteArray() << QByteArray();
}

void tst_QmvComm::decodeSteps()
{
    QFETCH(QByteArray, buffer);
    QFETCH(int, steps);
    QFETCH(QByteArray, flags);
    QFETCH(QByteArray, left);

    qmvComm comm;
    comm.replyBuffer = buffer;
    for (int i = 0; i < steps; ++i)
        comm.DecodeReply();
    QCOMPARE(comm.flagH, flags.contains('H'));
    QCOMPARE(comm.flagJ, flags.contains('J'));
    QCOMPARE(comm.flagL, flags.contains('L'));
    QCOMPARE(comm.replyBuffer, left);
}

void tst_QmvComm::directWaits_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<Outcome>("outcome"); // of the last step
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<int>("fromSeconds"); // clock seconds the last step took
    QTest::addColumn<int>("toSeconds");

    const QString notResponding = QStringLiteral("SYSTEM NOT RESPONDING . . .");
    const QString notResponding2 = QStringLiteral("SYSTEM NOT RESPONDING 2 . . .");

    QTest::newRow("R to the third B")
        << QStringList{QStringLiteral("--answer-after"), QStringLiteral("R:3")} << "ready"
        << Outcome::Ok << QString() << QByteArray(3, 'B') << 6 << 9;
    QTest::newRow("R with CR in one read is not recognised")
        << QStringList{QStringLiteral("--noise"), QStringLiteral("R:\\r")} << "ready"
        << Outcome::TimedOut << notResponding << QByteArray(10, 'B') << 30 << 33;
    QTest::newRow("no R within 30 s")
        << QStringList{QStringLiteral("--silent"), QStringLiteral("B")} << "ready"
        << Outcome::TimedOut << notResponding << QByteArray(10, 'B') << 30 << 33;
    QTest::newRow("erase requested and done")
        << QStringList{QStringLiteral("--erase-time"), QStringLiteral("150")} << "erase done"
        << Outcome::Ok << QString() << QByteArray("E") << 10 << 20;
    QTest::newRow("no A within 60 s, E sent once")
        << QStringList{QStringLiteral("--silent"), QStringLiteral("A"), QStringLiteral("--silent"),
                       QStringLiteral("C")}
        << "erase" << Outcome::TimedOut << notResponding2 << QByteArray("E") << 60 << 70;
    QTest::newRow("A with noise is not recognised")
        << QStringList{QStringLiteral("--reply"), QStringLiteral("A:A "),
                       QStringLiteral("--silent"), QStringLiteral("C")}
        << "erase" << Outcome::TimedOut << notResponding2 << QByteArray("E") << 60 << 70;
    QTest::newRow("no C within 120 s")
        << QStringList{QStringLiteral("--silent"), QStringLiteral("C")} << "erase done"
        << Outcome::TimedOut << notResponding2 << QByteArray("E") << 120 << 130;
}

void tst_QmvComm::directWaits()
{
    QFETCH(QStringList, faults);
    QFETCH(QString, steps);
    QFETCH(Outcome, outcome);
    QFETCH(QString, message);
    QFETCH(QByteArray, received);
    QFETCH(int, fromSeconds);
    QFETCH(int, toSeconds);

    qmvComm comm;
    comm.setClock(&m_fastClock);
    Simulator sim;
    QVERIFY(openOn(comm, sim, faults));

    // Left over from an earlier connection: a new one starts with every flag down.
    comm.flagH = comm.flagJ = comm.flagL = true;
    QDateTime start = m_fastClock.now();
    Outcome result = Outcome::Ok;
    if (steps == QLatin1String("ready")) {
        result = comm.WaitForReady();
        QVERIFY(!comm.flagH && !comm.flagJ && !comm.flagL);
    } else {
        result = comm.StartErase();
        if (steps == QLatin1String("erase done")) {
            QCOMPARE(result, Outcome::Ok);
            start = m_fastClock.now();
            result = comm.WaitEraseDone();
        }
    }
    const qint64 took = start.secsTo(m_fastClock.now());

    QCOMPARE(result, outcome);
    QCOMPARE(m_messages, message.isEmpty() ? QStringList() : QStringList{message});
    // A "B" every 3 seconds: ten by the 30-second limit, a few more when a cycle starts late.
    if (received.startsWith('B') && outcome == Outcome::TimedOut)
        QVERIFY2(sim.received().size() >= 10 && sim.received().size() <= 12 &&
                     sim.received() == QByteArray(sim.received().size(), 'B'),
                 sim.received().constData());
    else
        QCOMPARE(sim.received(), received);
    QVERIFY2(took >= fromSeconds && took <= toSeconds, QByteArray::number(took).constData());
}

void tst_QmvComm::flagWaits_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QByteArrayList>("writes"); // a bell row, else the schedule awaiting "L"
    QTest::addColumn<Outcome>("outcome");

    const QByteArrayList row{"D07:4523105"};
    QTest::newRow("H 20 s late is still in time")
        << QStringList{"--delay", "H:200"} << row << Outcome::Ok;
    QTest::newRow("no H within 30 s") << QStringList{"--silent", "H"} << row << Outcome::TimedOut;
    QTest::newRow("L not before the second row")
        << QStringList() << QByteArrayList{"W", "1111122"} << Outcome::TimedOut;
}

void tst_QmvComm::flagWaits()
{
    QFETCH(QStringList, faults);
    QFETCH(QByteArrayList, writes);
    QFETCH(Outcome, outcome);

    qmvComm comm;
    comm.setClock(&m_fastClock);
    Simulator sim;
    QVERIFY(openOn(comm, sim, faults));
    comm.startDecoder();
    const bool isRow = writes.size() == 1;
    const bool &awaited = isRow ? comm.flagH : comm.flagL;
    for (const QByteArray &write : writes)
        QVERIFY(comm.sendCommand(write));
    const QDateTime start = m_fastClock.now();
    QCOMPARE(comm.waitForFlag(awaited, isRow ? "Prog Setting Problems . . ." : "Week . . ."),
             outcome);
    const qint64 took = start.secsTo(m_fastClock.now());

    QCOMPARE(sim.received(), writes.join());
    QCOMPARE(awaited, outcome == Outcome::Ok);
    QCOMPARE(m_messages.size(), int(outcome != Outcome::Ok));
    QVERIFY2(outcome == Outcome::Ok ? took < 30 : took >= 30 && took <= 31,
             QByteArray::number(took).constData());
}

void tst_QmvComm::endedFromOutside_data()
{
    QTest::addColumn<QString>("wait");
    QTest::addColumn<bool>("closePort"); // else abortWaits()

    for (const char *wait : {"ready", "erase request", "erase done", "flag"}) {
        QTest::addRow("%s ended by abortWaits", wait) << QString::fromLatin1(wait) << false;
        QTest::addRow("%s ended by ClosePort", wait) << QString::fromLatin1(wait) << true;
    }
}

// On the real clock, against a controller that never answers: each wait would run 30 s or more.
void tst_QmvComm::endedFromOutside()
{
    QFETCH(QString, wait);
    QFETCH(bool, closePort);

    qmvComm comm;
    Simulator sim;
    QVERIFY(openOn(comm, sim,
                   {QStringLiteral("--silent"), QStringLiteral("R"), QStringLiteral("--silent"),
                    QStringLiteral("E"), QStringLiteral("--silent"), QStringLiteral("H")}));
    comm.startDecoder();
    // Delivered by the wait's own event loop.
    bool endedWhileWaiting = false;
    QTimer::singleShot(50, &comm, [&] {
        endedWhileWaiting = comm.isWaiting();
        if (closePort)
            comm.ClosePort();
        else
            comm.abortWaits();
    });

    QElapsedTimer real;
    real.start();
    Outcome result = Outcome::Ok;
    if (wait == QLatin1String("ready"))
        result = comm.WaitForReady();
    else if (wait == QLatin1String("erase request"))
        result = comm.StartErase();
    else if (wait == QLatin1String("erase done"))
        result = comm.WaitEraseDone();
    else
        result = comm.waitForFlag(comm.flagH, QStringLiteral("Prog Setting Problems . . ."));

    QVERIFY(endedWhileWaiting);
    QCOMPARE(result, Outcome::Stopped);
    QVERIFY2(real.elapsed() < 1000, QByteArray::number(real.elapsed()).constData());
    QCOMPARE(m_messages, QStringList());
    QVERIFY(!comm.decoderRunning());
    QVERIFY(!comm.isWaiting());
    QCOMPARE(comm.isOpen(), !closePort);
}

// The download window closed while the time-out message is up: no failure to report any more.
void tst_QmvComm::endedWhileMessageIsUp()
{
    qmvComm comm;
    comm.setClock(&m_fastClock);
    Simulator sim;
    QVERIFY(openOn(comm, sim, {QStringLiteral("--silent"), QStringLiteral("R")}));
    comm.showMessage = [&](const QString &message) {
        m_messages << message;
        comm.ClosePort();
    };
    QCOMPARE(comm.WaitForReady(), Outcome::Stopped);
    QCOMPARE(m_messages, QStringList{QStringLiteral("SYSTEM NOT RESPONDING . . .")});
    QVERIFY(!comm.isOpen());
}

void tst_QmvComm::secondWaitIsRefused()
{
    qmvComm comm;
    Simulator sim;
    QVERIFY(openOn(comm, sim, {QStringLiteral("--silent"), QStringLiteral("R")}));
    Outcome nested = Outcome::Ok;
    QTimer::singleShot(20, &comm, [&] {
        nested = comm.StartErase();
        comm.abortWaits();
    });
    QCOMPARE(comm.WaitForReady(), Outcome::Stopped);
    QCOMPARE(nested, Outcome::Busy);
    // Once the controller has answered a later command, it has seen everything sent before.
    comm.startDecoder();
    QVERIFY(comm.sendCommand("T08:303"));
    QCOMPARE(comm.waitForFlag(comm.flagJ, QStringLiteral("Time Setting Problems . . .")),
             Outcome::Ok);
    QCOMPARE(sim.received(), QByteArray("BT08:303"));
}

// How people run the simulator beside the tool: a fixed path in QMV_SERIAL_PORT.
void tst_QmvComm::deviceThroughLink()
{
    qmvComm comm;
    Simulator sim;
    QVERIFY(sim.start({}, true));
    QVERIFY(QFileInfo(qEnvironmentVariable("QMV_SERIAL_PORT")).isSymLink());
    comm.SetupPort();
    QVERIFY2(comm.OpenPort(), qPrintable(comm.errorString()));
    QCOMPARE(comm.WaitForReady(), Outcome::Ok);
}

void tst_QmvComm::portDoesNotExist()
{
    qmvComm comm;
    comm.showMessage = [this](const QString &message) { m_messages << message; };
    const QByteArray saved = qgetenv("QMV_SERIAL_PORT");
    qputenv("QMV_SERIAL_PORT", "/nonexistent/ttyQMV");
    comm.SetupPort();
    qputenv("QMV_SERIAL_PORT", saved);

    QVERIFY(!comm.OpenPort());
    QCOMPARE(comm.errorString(), QStringLiteral("No such file or directory"));
    QElapsedTimer real;
    real.start();
    QCOMPARE(comm.WaitForReady(), Outcome::PortError);
    QCOMPARE(comm.StartErase(), Outcome::PortError);
    QCOMPARE(comm.WaitEraseDone(), Outcome::PortError);
    QCOMPARE(comm.waitForFlag(comm.flagJ, QStringLiteral("Time Setting Problems . . .")),
             Outcome::PortError);
    QVERIFY(!comm.sendCommand(QByteArrayLiteral("F")));
    QVERIFY(real.elapsed() < 1000);
    QCOMPARE(m_messages, QStringList());
    comm.ClosePort();
    QVERIFY(!comm.isOpen());
}

QTEST_GUILESS_MAIN(tst_QmvComm)
#include "tst_qmvcomm.moc"
