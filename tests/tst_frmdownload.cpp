#include "fastclock.h"
#include "frmdownload.h"
#include "lifecycle.h"
#include "messageboxanswerer.h"
#include "paths.h"
#include "programfile.h"
#include "simulator.h"

#include <QComboBox>
#include <QDirIterator>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using qmvtest::Simulator;

namespace {

const QString EmptyRow = QStringLiteral("\tOFF\tCONT\t\tOFF\tCONT\t\tOC");
const QString Row0745 = QStringLiteral("07:45\tON\tPULSE\t5\tOFF\tCONT\t\tOC");
const QString Erased =
    QStringLiteral("Erased\nCheck Time and WeekDay\nCorrect if necessary and press CONTINUE\n");
const QString NotResponding = QStringLiteral("SYSTEM NOT RESPONDING . . .");
const QString NotResponding2 = QStringLiteral("SYSTEM NOT RESPONDING 2 . . .");
const QString Programmed = QStringLiteral("System Programmed");
const QString Incomplete = QStringLiteral("The download is incomplete.\r\n");
const QString PortFailed = QStringLiteral("The serial port * failed: *");

// `pattern` with each '*' standing for any text.
bool like(const QString &pattern, const QString &text)
{
    QStringList parts = pattern.split(QLatin1Char('*'));
    for (QString &part : parts)
        part = QRegularExpression::escape(part);
    const QRegularExpression re(
        QRegularExpression::anchoredPattern(parts.join(QStringLiteral(".*"))),
        QRegularExpression::DotMatchesEverythingOption);
    return re.match(text).hasMatch();
}

bool writePrograms(const QStringList &p1, const QStringList &p2 = {EmptyRow},
                   const QStringList &p3 = {EmptyRow},
                   const QStringList &week = {QStringLiteral("3333333"), QStringLiteral("3333333")})
{
    const auto table = [](const QStringList &rows) {
        qmv::CellTable bell{qmv::BellColumns, {}};
        for (const QString &row : rows)
            bell.rows.append(row.split(QLatin1Char('\t')));
        return bell;
    };
    const qmv::CellTable schedule{
        qmv::ScheduleColumns,
        {week[0].split(QString()).mid(1, 7), week[1].split(QString()).mid(1, 7)}};
    return qmv::writeWorkingFile(1, table(p1)).isEmpty() &&
           qmv::writeWorkingFile(2, table(p2)).isEmpty() &&
           qmv::writeWorkingFile(3, table(p3), &schedule).isEmpty();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QMap<QString, QByteArray> filesUnder(const QString &root)
{
    QMap<QString, QByteArray> files;
    for (QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        QFile file(it.next());
        files[file.fileName()] = file.open(QIODevice::ReadOnly) ? file.readAll() : "unreadable";
    }
    return files;
}

} // namespace

class tst_FrmDownload : public QObject
{
    Q_OBJECT

private:
    // Opens the window the editor's way and lets its sequence run until it waits for the user.
    frmDownload *openAndSettle();
    // CONTINUE with 8:30 typed and Tuesday picked.
    void confirmAndContinue(frmDownload *window);

    QTemporaryDir m_root;
    qmvtest::FastClock m_clock{200.0};
    qmvtest::MessageBoxAnswerer *m_answerer = nullptr;
    QPointer<frmDownload> m_window;
    int m_ended = 0;

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void faultMatrix_data();
    void faultMatrix();
    void interrupted_data();
    void interrupted();
    void openedOnceBroughtToFront();
    void wholeDownload();
    void transfer_data();
    void transfer();
};

frmDownload *tst_FrmDownload::openAndSettle()
{
    m_window = frmDownload::open();
    // The half-second pause before connecting is the user's, not the link's: skip it here.
    if (m_window->commMountTimer.isActive())
        m_window->commMountTimer.start(1);
    const bool settled = QTest::qWaitFor(
        [this] { return m_window && !m_window->isBusy() && !m_window->commMountTimer.isActive(); },
        20000);
    return settled ? m_window.data() : nullptr;
}

void tst_FrmDownload::confirmAndContinue(frmDownload *window)
{
    window->txtTime->setText(QStringLiteral("8:30"));
    window->comboWkDay->setCurrentIndex(2);
    window->cmdContinue->click();
}

void tst_FrmDownload::initTestCase()
{
    if (!Simulator::available())
        QSKIP("QMV_CONTROLLER_SIM does not name the controller simulator");
    QVERIFY(m_root.isValid());
    qputenv("QMV_ROOT", m_root.path().toLocal8Bit());
    QVERIFY(QDir().mkpath(qmv::paths::tmpDir()));
    QVERIFY(QDir().mkpath(m_root.filePath(QStringLiteral("qmvdata"))));
    QVERIFY(writeBytes(m_root.filePath(QStringLiteral("qmvdata/week1.qmv")), ":P1\r\n1\r\n"));
    frmDownload::setClock(&m_clock);
    qmv::setEndHandler([this] { ++m_ended; });
}

void tst_FrmDownload::init()
{
    qmv::resetEnding();
    m_ended = 0;
    qmvComm::instance().replyBuffer.clear();
    m_answerer = new qmvtest::MessageBoxAnswerer(this);
    m_answerer->setDefaultAnswer(QStringLiteral("cmdOKonly"));
    QVERIFY(writePrograms({EmptyRow}));
}

void tst_FrmDownload::cleanup()
{
    // Its hold may look at the finished test's locals.
    delete m_answerer;
    if (m_window)
        m_window->close();
    QTRY_VERIFY(!m_window);
    qmvComm::instance().ClosePort();
    qmv::resetEnding();
}

void tst_FrmDownload::cleanupTestCase()
{
    qmv::setEndHandler(nullptr);
    frmDownload::setClock(nullptr);
}

// Faults: silent, late, noise, cr, wrong (another reply letter), hangup (the line drops once the
// stage's command has arrived), gone (the device and its link vanish before the stage).
void tst_FrmDownload::faultMatrix_data()
{
    QTest::addColumn<QStringList>("faults"); // of the simulator, and gone/hold/damaged/missing
    QTest::addColumn<QString>("killAt");     // pattern on "received|status": the line drops
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("buttons"); // C, R, E enabled; none: the program ended

    struct Outcome
    {
        QStringList messages;
        QString status;
        QString buttons;
    };
    const auto add = [](const QString &stage, const char *fault, const QStringList &faults,
                        const QString &killAt, const Outcome &outcome) {
        QTest::addRow("%s_%s", qPrintable(stage), fault)
            << faults << killAt << outcome.messages << outcome.status << outcome.buttons;
    };
    // `exact`: the reply counts only as a read of its own, else a decoder picks it out.
    const auto stage = [&](const QString &name, char reply, char wrong, int lateMs,
                           const QString &killAt, const Outcome &timedOut, const Outcome &failed,
                           bool exact) {
        const QString r = QString(QLatin1Char(reply));
        // Erasing ends on its own clock even when "A" is not sent: the two go together.
        const QString silent = reply == 'A' ? QStringLiteral("E") : r;
        const Outcome noisy = exact ? timedOut : Outcome{{Programmed}, "Weekly Schedule", ""};
        add(name, "silent", {"--silent", silent}, {}, timedOut);
        add(name, "late", {"--delay", r + ':' + QString::number(lateMs)}, {}, timedOut);
        add(name, "noise", {"--noise", r + ":?\\x07"}, {}, noisy);
        add(name, "cr", {"--noise", r + ":\\r"}, {}, noisy);
        add(name, "wrong", {"--reply", r + ':' + QLatin1Char(wrong)}, {}, timedOut);
        add(name, "hangup", {"--silent", silent}, killAt, failed);
    };
    const auto incomplete = [](const QString &status, const QStringList &lines) {
        return Outcome{{Incomplete + lines.join(QStringLiteral("\r\n"))}, status, ""};
    };
    const Outcome linkFailed{{}, PortFailed, "RE"};
    const QString stuck = QStringLiteral("System stuck in Erase cycle.");
    const QString notSent = QStringLiteral("The weekly schedule was not sent.");
    const QString notConfirmed = QStringLiteral("The weekly schedule was not confirmed.");
    const QStringList noJ{"Time Setting Problems . . .", "ERROR\r\nSWITCH OFF System and retry"};
    const Outcome clockFailed =
        incomplete("Program 1", {PortFailed, "The time and weekday were not confirmed.", notSent});

    stage("connect", 'R', 'A', 500, "^B",
          {{NotResponding},
           "System Not Responding. Check cables and make sure System is Powered On\n",
           "RE"},
          linkFailed, true);
    stage("erase", 'A', 'R', 700, "^BE", {{NotResponding2, NotResponding2}, stuck, "R"}, linkFailed,
          true);
    stage("erased", 'C', 'A', 1000, "Erasing", {{NotResponding2}, stuck, "R"}, linkFailed, true);
    stage("clock", 'J', 'H', 500, "^BET", {noJ, " Setting Time and Day of Week", ""}, clockFailed,
          false);
    for (int p = 1; p <= 3; ++p)
        stage(QStringLiteral("program%1").arg(p), 'H', 'L', 500,
              QStringLiteral("^[^|]*P%1D").arg(p),
              {{"Prog Setting Problems . . .",
                Incomplete + "1 of 1 bell rows were not confirmed by the System."},
               "Weekly Schedule",
               ""},
              incomplete(QStringLiteral("Program %1").arg(p), {PortFailed, notSent}), false);
    stage("schedule", 'L', 'H', 500, "^[^|]*W\\d{14}",
          {{"Week Schedule Setting Problems . . .", Incomplete + notConfirmed},
           "Weekly Schedule",
           ""},
          incomplete("Weekly Schedule", {PortFailed, notConfirmed}), false);
    add("connect", "gone", {"gone"}, {},
        {{}, QStringLiteral("The serial port * cannot be opened: *"), "RE"});
    add("clock", "gone", {"gone"}, "Erased", clockFailed);
    add("clock", "lateUnderMessage", {"--delay", "J:300", "hold"}, {},
        {{noJ[0], Programmed}, "Weekly Schedule", ""});
    add("program2", "damaged", {"damaged"}, {},
        {{"Program 2 cannot be read and will not be sent.\r\n*temp#2 is damaged: *",
          Incomplete + "Program 2 was not sent."},
         "Weekly Schedule",
         ""});
    const Outcome unreadable{
        {}, "Program 1 cannot be read, nothing is sent to the System.\n*temp#1*", "E"};
    add("load", "damaged", {"damaged"}, {}, unreadable);
    add("load", "missing", {"missing"}, {}, unreadable);
}

void tst_FrmDownload::faultMatrix()
{
    QFETCH(QStringList, faults);
    QFETCH(QString, killAt);
    QFETCH(QStringList, messages);
    QFETCH(QString, status);
    QFETCH(QString, buttons);
    const bool ended = buttons.isEmpty();

    const QString stage = QString::fromLatin1(QTest::currentDataTag()).section('_', 0, 0);
    QStringList programs[3] = {{EmptyRow}, {EmptyRow}, {EmptyRow}};
    if (stage.startsWith(QLatin1String("program")))
        programs[stage.back().digitValue() - 1] = {Row0745};
    QVERIFY(writePrograms(programs[0], programs[1], programs[2]));
    if (faults.removeAll("damaged"))
        QVERIFY(writeBytes(qmv::paths::workingFile(stage == "load" ? 1 : 2), ":P2\r\nx\r\n"));
    if (faults.removeAll("missing"))
        QVERIFY(QFile::remove(qmv::paths::workingFile(1)));
    const bool gone = faults.removeAll("gone");
    const bool hold = faults.removeAll("hold");
    const QMap<QString, QByteArray> before = filesUnder(m_root.path());

    Simulator sim;
    QVERIFY(sim.start(faults << "--erase-time"
                             << "50",
                      gone));
    if (gone && killAt.isEmpty())
        sim.stop();
    qmvComm &comm = qmvComm::instance();
    bool overdue = false;
    m_answerer->setHold(
        [&] { return hold && !overdue && m_answerer->messages().isEmpty() && !comm.flagJ; });
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        const QString seen = QString::fromLatin1(sim.received()) + QLatin1Char('|') +
                             (m_window ? m_window->Text1->toPlainText() : QString());
        if (!killAt.isEmpty() && QRegularExpression(killAt).match(seen).hasMatch()) {
            killAt.clear();
            sim.stop();
        }
    });
    watch.start(5);
    // Bounds the case: a wait that never ends is ended the user's way.
    QTimer::singleShot(20000, &watch, [&] {
        overdue = true;
        if (m_window)
            m_window->close();
    });

    frmDownload *window = openAndSettle();
    QVERIFY(window);
    // Gone while the user checks the time: nothing of the transfer can reach the controller.
    QTRY_VERIFY(!gone || killAt.isEmpty());
    if (window->cmdContinue->isEnabled())
        confirmAndContinue(window);
    QVERIFY(!overdue);
    watch.stop();

    const QStringList shown = m_answerer->messages();
    QCOMPARE(shown.size(), messages.size());
    for (int i = 0; i < shown.size(); ++i)
        QVERIFY2(like(messages[i], shown[i]), qPrintable(shown[i]));
    QVERIFY2(like(status, window->Text1->toPlainText()), qPrintable(window->Text1->toPlainText()));
    QCOMPARE(window->cmdContinue->isEnabled(), buttons.contains('C'));
    QCOMPARE(window->cmdRetry->isEnabled(), buttons.contains('R'));
    QCOMPARE(window->cmdExit->isEnabled(), buttons.contains('E'));
    QCOMPARE(m_ended, int(ended));
    QVERIFY(sim.received().count('E') <= 1);
    if (!ended && window->cmdExit->isEnabled()) {
        window->cmdExit->click();
        QCOMPARE(m_ended, 1);
    } else if (!ended) {
        window->close();
    }
    QVERIFY(!comm.isOpen());
    QCOMPARE(filesUnder(m_root.path()), before);
}

void tst_FrmDownload::interrupted_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QString>("action"); // close the window, end the program, press RETRY
    QTest::addColumn<bool>("waiting");   // while a wait runs, else once the window settled
    QTest::addColumn<bool>("transfer");  // after CONTINUE
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QByteArray>("sent"); // to the controller the sequence ends with

    const QStringList noR{"--silent", "R"};
    QTest::newRow("close_waitingR")
        << noR << "close" << true << false << QStringList() << QByteArray("BE");
    QTest::newRow("close_waitingC") << QStringList{"--silent", "C"} << "close" << true << false
                                    << QStringList() << QByteArray("BE");
    QTest::newRow("close_waitingH") << QStringList{"--silent", "H"} << "close" << true << true
                                    << QStringList() << QByteArray("BE");
    QTest::newRow("end_waitingR") << noR << "end" << true << false << QStringList()
                                  << QByteArray("B");
    QTest::newRow("retry_waitingC") << QStringList{"--answer-after", "A:2"} << "retry" << true
                                    << false << QStringList{NotResponding2} << QByteArray("BEBE");
    // Answers only from the 14th "B": the first attempt gives up after 10 to 12.
    QTest::newRow("retry_afterNoR")
        << QStringList{"--answer-after", "R:14"} << "retry" << false << false
        << QStringList{NotResponding} << QByteArray(14, 'B') + "E";
}

void tst_FrmDownload::interrupted()
{
    QFETCH(QStringList, faults);
    QFETCH(QString, action);
    QFETCH(bool, waiting);
    QFETCH(bool, transfer);
    QFETCH(QStringList, messages);
    QFETCH(QByteArray, sent);

    QVERIFY(writePrograms({Row0745}));
    qmvComm &comm = qmvComm::instance();
    auto sim = std::make_unique<Simulator>();
    QVERIFY(sim->start(faults << "--erase-time"
                              << "50"));
    m_window = frmDownload::open();
    bool acted = false;
    QTimer actor;
    connect(&actor, &QTimer::timeout, this, [&] {
        const bool sending = m_window && m_window->Text1->toPlainText() == "Program 1";
        if (acted || !m_window || comm.isWaiting() != waiting || sending != transfer ||
            (action == "retry" && !m_window->cmdRetry->isEnabled()) ||
            (!waiting && m_window->isBusy()))
            return;
        acted = true;
        if (action == "close")
            m_window->close();
        else if (action == "end")
            qmv::endProgram();
        else
            m_window->cmdRetry->click();
    });
    actor.start(5);
    if (transfer) {
        QTRY_VERIFY(m_window->cmdContinue->isEnabled());
        m_window->cmdContinue->click();
    }
    QTRY_VERIFY_WITH_TIMEOUT(acted, 10000);
    if (action == "close") {
        QTRY_VERIFY(!m_window);
        QVERIFY(!comm.isOpen() && !comm.isWaiting() && !comm.decoderRunning());
        // DOWNLOAD again: a new window and a sequence of its own that works.
        sim = std::make_unique<Simulator>();
        QVERIFY(sim->start({"--erase-time", "50"}));
    }
    QVERIFY(openAndSettle());
    QCOMPARE(m_answerer->messages(), messages);
    QCOMPARE(m_ended, int(action == "end"));
    QCOMPARE(comm.isOpen(), action != "end");
    QCOMPARE(m_window->Text1->toPlainText(), action == "end" ? "Connecting. . ." : Erased);
    QCOMPARE(m_window->cmdContinue->isEnabled(), action != "end");
    QVERIFY(!m_window->cmdRetry->isEnabled());
    QCOMPARE(sim->received(), sent);
}

void tst_FrmDownload::openedOnceBroughtToFront()
{
    Simulator sim;
    QVERIFY(sim.start({"--silent", "R"}));
    QVERIFY(writePrograms({Row0745}));
    m_window = frmDownload::open();
    QVERIFY(m_window->isVisible() && !m_window->parentWidget() && !m_window->isModal());
    // The editor writes program 1 again: the open window does not read it a second time.
    QVERIFY(writePrograms({QStringLiteral("09:00\tOFF\tCONT\t\tOFF\tCONT\t\tOC")}));
    QCOMPARE(frmDownload::open(), m_window.data());
    QCOMPARE(m_window->MSFlexGrid1->item(0, 0)->text(), QStringLiteral("07:45"));
    m_window->close();
    QTRY_VERIFY(!m_window);
    QCOMPARE(m_ended, 0);
    m_window = frmDownload::open();
    QCOMPARE(m_window->MSFlexGrid1->item(0, 0)->text(), QStringLiteral("09:00"));
    QVERIFY(m_window->commMountTimer.isActive());
}

// Three programs and the schedule, end to end, and what the controller received.
void tst_FrmDownload::wholeDownload()
{
    QVERIFY(writePrograms(
        {Row0745, "12:00\tON\tCONT\t10\tON\tPULSE\t20\tON", EmptyRow},
        {"16:30\tOFF\tPULSE\t9\tON\tCONT\t3\tOFF"},
        {"06:00\tOFF\tCONT\t\tOFF\tCONT\t\tOC", "08:00\tON\tCONT\t120\tOFF\tCONT\t\tOC", EmptyRow},
        {"1111122", "2222211"}));
    Simulator sim;
    QVERIFY(sim.start({"--erase-time", "50"}));
    frmDownload *window = openAndSettle();
    QVERIFY(window);
    QCOMPARE(window->Text1->toPlainText(), Erased);
    QStringList steps;
    connect(window->Text1, &QPlainTextEdit::textChanged, this,
            [&] { steps << window->Text1->toPlainText(); });
    connect(window, &frmDownload::rowSent, this,
            [&](int program, int row) { steps << QStringLiteral("%1.%2").arg(program).arg(row); });
    confirmAndContinue(window);

    QCOMPARE(sim.received(), QByteArray("BET08:303P1D07:4523105D12:0007110P2D16:3015903"
                                        "P3D06:0025500D08:00239120W11111222222211F"));
    QCOMPARE(m_answerer->messages(), QStringList{Programmed});
    QCOMPARE(m_answerer->seen().last().title, QStringLiteral("qmv..."));
    QCOMPARE(m_ended, 1);
    QVERIFY(!qmvComm::instance().isOpen());
    QCOMPARE(window->txtTime->text(), QStringLiteral("08:30"));
    steps.removeDuplicates();
    QCOMPARE(steps,
             (QStringList{" Setting Time and Day of Week", "Program 1", "1.0", "1.1", "Program 2",
                          "2.0", "Program 3", "3.0", "3.1", "Weekly Schedule"}));
}

void tst_FrmDownload::transfer_data()
{
    QTest::addColumn<QStringList>("program1");
    QTest::addColumn<QString>("program2");
    QTest::addColumn<QString>("bell1"); // Bell 1's row of the schedule
    QTest::addColumn<int>("pickedRow"); // picked in the grid before CONTINUE; -1 none
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QStringList>("messages");

    const QString r0800 = QStringLiteral("08:00\tOFF\tCONT\t\tON\tCONT\t30\tON");
    const QString r0900 = QStringLiteral("09:00\tOFF\tCONT\t\tOFF\tCONT\t\tOFF");
    const QString threes = QStringLiteral("3333333");
    QTest::newRow("fromPickedRow")
        << QStringList{Row0745, r0800, r0900, EmptyRow} << EmptyRow << threes << 2
        << QByteArray("BET08:303P1D09:0019100P2P3W33333333333333F") << QStringList{Programmed};
    QTest::newRow("endsAtShortTime")
        << QStringList{Row0745, "8:00\tON\tCONT\t5\tOFF\tCONT\t\tOC", r0900} << EmptyRow << threes
        << -1 << QByteArray("BET08:303P1D07:4523105P2P3W33333333333333F")
        << QStringList{Programmed};
    QTest::newRow("lastGridRow") << QStringList{Row0745, r0800} << r0900 << threes << -1
                                 << QByteArray("BET08:303P1D07:4523105D08:0009530P2D09:0019100P3"
                                               "W33333333333333F")
                                 << QStringList{Programmed};
    QTest::newRow("refusedRow")
        << QStringList{Row0745, "08:00\tON\tCONT\t300\tOFF\tCONT\t\tOC", r0900} << EmptyRow
        << threes << -1 << QByteArray("BET08:303P1D07:4523105D09:0019100P2P3W33333333333333F")
        << QStringList{"Program 1, row 2 is not sent: the seconds \"300\" are not from 0 to 255.",
                       Incomplete + "1 of 3 bell rows were not confirmed by the System (1 not "
                                    "sent because they could not be encoded)."};
    QTest::newRow("invalidScheduleCell")
        << QStringList{Row0745} << EmptyRow << "1141111" << -1
        << QByteArray("BET08:303P1D07:4523105P2P3F")
        << QStringList{"The weekly schedule is not sent: Bell 1, Wed holds \"4\", not a program "
                       "1, 2 or 3.",
                       Incomplete + "The weekly schedule was not sent."};
}

void tst_FrmDownload::transfer()
{
    QFETCH(QStringList, program1);
    QFETCH(QString, program2);
    QFETCH(QString, bell1);
    QFETCH(int, pickedRow);
    QFETCH(QByteArray, sent);
    QFETCH(QStringList, messages);

    QVERIFY(writePrograms(program1, {program2}, {EmptyRow}, {bell1, "3333333"}));
    Simulator sim;
    QVERIFY(sim.start({"--erase-time", "50"}));
    frmDownload *window = openAndSettle();
    QVERIFY(window);
    if (pickedRow >= 0)
        window->MSFlexGrid1->setCurrentCell(pickedRow, 3);
    confirmAndContinue(window);
    QCOMPARE(sim.received(), sent);
    QCOMPARE(m_answerer->messages(), messages);
    QCOMPARE(m_ended, 1);
    QVERIFY(!qmvComm::instance().isOpen());
}

QTEST_MAIN(tst_FrmDownload)
#include "tst_frmdownload.moc"
