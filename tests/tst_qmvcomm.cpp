#include "clock.h"
#include "qmvcomm.h"
#include "simulatorprocess.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using Outcome = qmvComm::Outcome;
using qmvsim::Simulator;

class tst_QmvComm : public QObject
{
    Q_OBJECT

private:
    // A link on the simulator with its messages recorded, port open.
    bool openOn(qmvComm &comm, Simulator &sim, const QStringList &faults)
    {
        if (!sim.start(faults))
            return false;
        comm.showMessage = [this](const QString &message) { m_messages << message; };
        comm.SetupPort();
        return comm.OpenPort();
    }
    QStringList m_messages;

private slots:
    void initTestCase()
    {
        if (!Simulator::available())
            QSKIP("QMV_CONTROLLER_SIM does not name the controller simulator");
    }
    void init() { m_messages.clear(); }

    void decodeSteps_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<int>("steps");
        QTest::addColumn<QByteArray>("flags"); // the flags set afterwards, of "HJL"
        QTest::addColumn<QByteArray>("left");

        const auto row = [](const char *name, const QByteArray &buffer, int steps,
                            const QByteArray &flags, const QByteArray &left) {
            QTest::newRow(name) << buffer << steps << flags << left;
        };
        row("spaces then H and J, two steps", "  HJ", 2, "HJ", "");
        row("noise in front of L is dropped", "X\r\nL", 1, "L", "");
        row("A, C and K have no effect", "ACKH", 3, "", "H");
        row("noise only", QByteArray("\r\n\x00?", 4), 1, "", "");
    }

    void decodeSteps()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(int, steps);
        bool h = false, j = false, l = false;
        for (int i = 0; i < steps; ++i)
            qmv::decodeStep(buffer, h, j, l);
        QTEST(QByteArray(h ? "H" : "") + (j ? "J" : "") + (l ? "L" : ""), "flags");
        QTEST(buffer, "left");
    }

    // "JH" lies received but undecoded (the decoder is off) when the row goes out: its "H" must
    // not answer the row.
    void undecodedDroppedBeforeRequest()
    {
        qmvComm comm;
        Simulator sim;
        qmv::ShiftedClock clock(100.0);
        comm.setClock(&clock);
        QVERIFY(openOn(comm, sim, {"--noise", "J:H", "--silent", "H"}));
        QVERIFY(comm.sendRequest("T08:303", comm.flagJ));
        // Without the decoder nothing sets the flag: this waits until "JH" has long arrived.
        QCOMPARE(comm.waitForFlag(comm.flagJ, "Time"), Outcome::TimedOut);
        QVERIFY(comm.sendRequest("D07:4523105", comm.flagH));
        comm.startDecoder();
        QCOMPARE(comm.waitForFlag(comm.flagH, "Prog"), Outcome::TimedOut);
    }

    void endedFromOutside_data()
    {
        QTest::addColumn<QString>("wait");

        for (const char *wait : {"ready", "erase request", "erase done", "flag"})
            QTest::addRow("%s ended by ClosePort", wait) << QString::fromLatin1(wait);
    }

    // On the real clock, against a controller that never answers: each wait would run 30 s or more.
    void endedFromOutside()
    {
        QFETCH(QString, wait);

        qmvComm comm;
        Simulator sim;
        QVERIFY(openOn(comm, sim, {"--silent", "R", "--silent", "E", "--silent", "H"}));
        comm.startDecoder();
        bool endedWhileWaiting = false;
        QTimer::singleShot(50, &comm, [&] {
            endedWhileWaiting = comm.isWaiting();
            comm.ClosePort();
        });
        QElapsedTimer real;
        real.start();
        const Outcome result = wait == "ready"           ? comm.WaitForReady()
                               : wait == "erase request" ? comm.StartErase()
                               : wait == "erase done"    ? comm.WaitEraseDone()
                                                         : comm.waitForFlag(comm.flagH, "Prog");

        QVERIFY(endedWhileWaiting);
        QCOMPARE(result, Outcome::Stopped);
        QVERIFY2(real.elapsed() < 1000, QByteArray::number(real.elapsed()).constData());
        QCOMPARE(m_messages, QStringList());
        QVERIFY(!comm.decoderRunning() && !comm.isWaiting() && !comm.isOpen());
    }
};

QTEST_GUILESS_MAIN(tst_QmvComm)
#include "tst_qmvcomm.moc"
