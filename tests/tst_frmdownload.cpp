#include "clock.h"
#include "downloadfixture.h"
#include "portchoice.h"
#include "programfile.h"
#include "simulatorprocess.h"

#include <QScrollBar>
#include <QTableWidget>

using qmvsim::Simulator;

namespace {

const QString Empty = QStringLiteral("\tOFF\tCONT\t\tOFF\tCONT\t\tOC");
const QString Row0745 = QStringLiteral("07:45\tON\tPULSE\t5\tOFF\tCONT\t\tOC");
const QString Row0900 = QStringLiteral("09:00\tOFF\tCONT\t\tOFF\tCONT\t\tOFF");
const QString Erased =
    QStringLiteral("Erased\nCheck Time and WeekDay\nCorrect if necessary and press CONTINUE\n");
const QString NoR = QStringLiteral("SYSTEM NOT RESPONDING . . .");
const QString NoA = QStringLiteral("SYSTEM NOT RESPONDING 2 . . .");
const QString Programmed = QStringLiteral("System Programmed");
const QString Incomplete = QStringLiteral("The download is incomplete.\r\n");
const QString PortFailed = QStringLiteral("The serial port * failed: *");

// `pattern` with each '*' standing for any text.
bool like(const QString &pattern, const QString &text)
{
    const QString re = QRegularExpression::escape(pattern).replace("\\*", ".*");
    return QRegularExpression(QRegularExpression::anchoredPattern(re),
                              QRegularExpression::DotMatchesEverythingOption)
        .match(text)
        .hasMatch();
}

// Three programs, each its rows joined by '\n', and the schedule's two rows in one.
bool writePrograms(const QStringList &programs, const QString &week = QString(14, '3'))
{
    const qmv::CellTable schedule{
        qmv::ScheduleColumns,
        {week.left(7).split(QString()).mid(1, 7), week.mid(7).split(QString()).mid(1, 7)}};
    for (int p = 0; p < 3; ++p) {
        qmv::CellTable bell{qmv::BellColumns, {}};
        for (const QString &row : programs.value(p, Empty).split('\n'))
            bell.rows.append(row.split('\t'));
        if (!qmv::writeWorkingFile(p + 1, bell, p == 2 ? &schedule : nullptr).isEmpty())
            return false;
    }
    return true;
}

struct Outcome
{
    QStringList messages;
    QString status;
    QString buttons; // C, R, E enabled; none: the program ended
};

} // namespace

class tst_FrmDownload : public DownloadFixture
{
    Q_OBJECT

    // A Wednesday morning.
    qmv::ShiftedClock m_clock{200.0, QDateTime(QDate(2026, 12, 2), QTime(10, 15))};

private slots:
    void initTestCase()
    {
        if (!Simulator::available())
            QSKIP("QMV_CONTROLLER_SIM does not name the controller simulator");
        setUpOnce(&m_clock);
    }
    void init() { setUpEach(QStringLiteral("cmdOKonly")); }
    void cleanup() { tearDownEach(); }

    // A first download on a new PC. Port 1 is missing: the failure names the ports there are; the
    // device picked (typed, since a pseudo-terminal is never listed) serves the RETRY and later
    // runs.
    void firstDownload()
    {
        QVERIFY(writePrograms({QStringList(5, Row0745).join('\n')}));
        Simulator sim;
        QVERIFY(sim.start({"--erase-time=50"}));
        const QString device = qEnvironmentVariable("QMV_SERIAL_PORT");
        qunsetenv("QMV_SERIAL_PORT");
        qmv::port::setOverride(QStringLiteral("/nonexistent/ttyS0"));
        QVERIFY(openAndSettle());
        QVERIFY2(
            like("The serial port /nonexistent/ttyS0 cannot be opened: *\n*erial port*", status()),
            qPrintable(status()));
        QVERIFY(child<QComboBox>("cboPort")->isVisible());
        child<QComboBox>("cboPort")->setCurrentText(device);
        // CONTINUE comes back only once the new connection has erased the controller.
        QStringList continuedAt;
        connect(m_window->findChild<DownloadSequence *>(), &DownloadSequence::actionsChanged, this,
                [&](bool continueEnabled) {
                    if (continueEnabled)
                        continuedAt << status();
                });
        child("cmdRetry")->click();
        child<QTimer>("commMountTimer")->start(1);
        QTRY_VERIFY_WITH_TIMEOUT(child("cmdContinue")->isEnabled(), 10000);
        QCOMPARE(continuedAt, QStringList{Erased});
        QCOMPARE(child<QComboBox>("comboWkDay")->currentText(), "Wednesday");
        QVERIFY(child<QLineEdit>("txtTime")->text().startsWith("10:"));
        // The request to press CONTINUE shows whole, and so does the widest word of each column.
        QTRY_COMPARE(child<QPlainTextEdit>("Text1")->verticalScrollBar()->maximum(), 0);
        auto *grid = child<QTableWidget>("MSFlexGrid1");
        const int margins =
            2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1);
        const QStringList widest{"23:59", "OFF", "PULSE", "255", "OFF", "PULSE", "255", "OFF"};
        for (int c = 0; c < grid->columnCount(); ++c)
            QVERIFY2(QFontMetricsF(grid->font()).horizontalAdvance(widest[c]) + margins <
                         grid->columnWidth(c),
                     qPrintable(widest[c]));
        // The grid only shows progress: a click or a key never picks the row a transfer starts at.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(3, 1)).center());
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->currentRow(), 0);
        // A second DOWNLOAD brings the same window forward; its load does not run again.
        child<QLineEdit>("txtTime")->setText(QStringLiteral("07:07"));
        QCOMPARE(frmDownload::open(), m_window.data());
        QCOMPARE(child<QLineEdit>("txtTime")->text(), QStringLiteral("07:07"));
        confirmAndContinue();
        QTRY_COMPARE(m_ended, 1);
        QCOMPARE(m_answerer->messages(), QStringList{Programmed});
        QTRY_COMPARE(sim.received(), "BET08:303P1" + QByteArray("D07:4523105").repeated(5) +
                                         "P2P3W33333333333333F");
        const QString row = "  07:45    5 s  bell 1 PULSE, light unchanged (231)\n";
        QCOMPARE(sim.printed(), "Clock: 08:30, Tuesday\nProgram 1: 5 rows\n" + row.repeated(5) +
                                    "Program 2: 0 rows\nProgram 3: 0 rows\n"
                                    "Schedule    Mo Tu We Th Fr Sa Su\n"
                                    "  Bell 1    3  3  3  3  3  3  3\n"
                                    "  Bell 2    3  3  3  3  3  3  3\n");
        // The next start, without any option.
        qmv::port::setOverride(QString());
        QCOMPARE(qmv::port::chosen(), device);
        qmv::port::remember(QString());
    }

    // Tags are <stage>_<fault>; a programN stage holds one bell row in program N. Besides the
    // simulator's faults: gone (the device and its link vanish), hold (messages stay up until
    // "J" has come), damaged, missing (working files), typed=TEXT (the time typed, else "8:30").
    void faultMatrix_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QString>("killAt"); // pattern on "received|status": the line drops
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("lastStatus");
        QTest::addColumn<QString>("buttons");
        QTest::addColumn<QStringList>("programs"); // and the schedule; else one row in <stage>
        QTest::addColumn<QByteArray>("sent");      // all the controller received; empty: any

        const auto add = [](const char *tag, const QStringList &faults, const Outcome &outcome,
                            const QString &killAt = {}, const QStringList &programs = {},
                            const QByteArray &sent = {}) {
            QTest::newRow(tag) << faults << killAt << outcome.messages << outcome.status
                               << outcome.buttons << programs << sent;
        };
        // The sequence ran to its end with these messages.
        const auto ended = [](const QStringList &messages,
                              const QString &status = "Weekly Schedule") {
            return Outcome{messages, status, ""};
        };
        const Outcome noR{
            {NoR},
            "System Not Responding. Check cables and make sure System is Powered On\n",
            "RE"};
        const QString stuck = QStringLiteral("System stuck in Erase cycle.");
        const QString notSent = QStringLiteral("The weekly schedule was not sent.");
        const QString progProblems = QStringLiteral("Prog Setting Problems . . .");
        const QStringList noJ{"Time Setting Problems . . .",
                              "ERROR\r\nSWITCH OFF System and retry"};
        const Outcome done = ended({Programmed});
        const auto noHAndStray = [&](int letters) {
            return ended({progProblems,
                          Incomplete + "1 of 1 bell rows were not confirmed by the System.\r\n" +
                              QString("Replies that no command awaited: %1. A later command may "
                                      "count as confirmed by one of them.")
                                  .arg(letters)});
        };

        add("connect_silent", {"--silent", "R"}, noR);
        add("connect_thirdB", {"--answer-after", "R:3"}, done, {}, {},
            "BBBET08:303P1P2P3W33333333333333F");
        add("connect_cr", {"--noise", "R:\\r"}, noR);
        add("connect_gone", {"gone"}, {{}, "The serial port * cannot be opened: *", "RE"});
        // Erasing ends on its own clock even when "A" is not sent: the two go together.
        add("erase_silent", {"--silent", "E"}, {{NoA, NoA}, stuck, "R"});
        add("erased_silent", {"--silent", "C"}, {{NoA}, stuck, "R"});
        add("erased_gone", {"gone", "--silent", "C"}, {{}, PortFailed, "RE"}, "^BE");
        // A typed time that is no time sets the PC's time, and the status says so to the end.
        add("clock_typedNoTime", {"typed=24:00"},
            ended({Programmed},
                  "*\"24:00\" is not a time: the clock is set to *, the PC's time.*"));
        add("clock_silent", {"--silent", "J"}, ended(noJ, " Setting Time and Day of Week"));
        // Gone while the user checks the time: the port is closed at once, RETRY and EXIT offered.
        add("clock_gone", {"gone"}, {{}, PortFailed, "RE"}, "Erased");
        add("clock_lateUnderMessage", {"--delay", "J:300", "hold"}, ended({noJ[0], Programmed}));
        // Letters that came with the clock's reply confirm no row. In the same write: one of their
        // own could reach a loaded machine after the row and answer it, as on a real line.
        add("program1_early", {"--noise", "J:HHHL", "--silent", "H"}, noHAndStray(4));
        add("program1_silentTwoRows", {"--silent", "H"},
            ended({progProblems, progProblems,
                   Incomplete + "The System did not answer 2 bell rows in a row; nothing more "
                                "was sent.\r\n2 of 2 *"},
                  "Program 1"),
            {}, {Row0745 + "\n" + Row0900 + "\n" + Row0745, Row0745},
            "BET08:303P1D07:4523105D09:0019100F");
        // An answered row starts the count of unanswered rows afresh.
        add("program1_silentApart", {"--silent", "H:1,3"},
            ended({progProblems, progProblems,
                   Incomplete + "2 of 4 bell rows were not confirmed by the System."}),
            {}, {QStringList(2, Row0745 + "\n" + Row0900).join('\n')},
            "BET08:303P1D07:4523105D09:0019100D07:4523105D09:0019100P2P3W33333333333333F");
        add("program2_noise", {"--noise", "H:?\\x07"}, done);
        add("program2_wrong", {"--reply", "H:L"}, noHAndStray(1));
        add("program2_hangup", {"--silent", "H"},
            ended({Incomplete + PortFailed + "\r\n" + notSent}, "Program 2"), "^[^|]*P2D");
        add("program2_damaged", {"damaged"},
            ended({"Program 2 cannot be read and will not be sent.\r\n*temp#2 is damaged: *",
                   Incomplete + "Program 2 was not sent."}));
        add("schedule_silent", {"--silent", "L"},
            ended({"Week Schedule Setting Problems . . .",
                   Incomplete + "The weekly schedule was not confirmed."}));
        const Outcome unreadable{
            {}, "Program 1 cannot be read, nothing is sent to the System.\n*temp#1*", "E"};
        add("load_damaged", {"damaged"}, unreadable);
        add("load_missing", {"missing"}, unreadable);
        add("transfer_whole", {}, done, {},
            {Row0745 + "\n12:00\tON\tCONT\t10\tON\tPULSE\t20\tON\n" + Empty,
             "16:30\tOFF\tPULSE\t9\tON\tCONT\t3\tOFF",
             "06:00\tOFF\tCONT\t\tOFF\tCONT\t\tOC\n08:00\tON\tCONT\t120\tOFF\tCONT\t\tOC\n" + Empty,
             "11111222222211"},
            "BET08:303P1D07:4523105D12:0007110P2D16:3015903P3D06:0025500D08:"
            "00239120W11111222222211F");
        add("transfer_refusedRow", {},
            ended({"Program 1, row 2 is not sent: the seconds \"300\" are not from 0 to 255.",
                   Incomplete + "1 of 3 bell rows were not confirmed by the System (1 not sent "
                                "because they could not be encoded)."}),
            {}, {Row0745 + "\n08:00\tON\tCONT\t300\tOFF\tCONT\t\tOC\n" + Row0900},
            "BET08:303P1D07:4523105D09:0019100P2P3W33333333333333F");
        add("transfer_afterEmptyTime", {},
            ended({Incomplete + "Not sent, because they follow a row without a time: Program 1: "
                                "row 3; Program 3: row 2."}),
            {}, {Row0745 + "\n" + Empty + "\n" + Row0900, Empty, Empty + "\n" + Row0900},
            "BET08:303P1D07:4523105P2P3W33333333333333F");
        add("transfer_invalidScheduleCell", {},
            ended({"The weekly schedule is not sent: Bell 1, Wed holds \"4\", not a program 1, 2 "
                   "or 3.",
                   Incomplete + notSent}),
            {}, {Row0745, Empty, Empty, "11411113333333"}, "BET08:303P1D07:4523105P2P3F");
    }

    void faultMatrix()
    {
        QFETCH(QStringList, faults);
        QFETCH(QString, killAt);
        QFETCH(QStringList, messages);
        QFETCH(QString, lastStatus);
        QFETCH(QString, buttons);
        QFETCH(QStringList, programs);
        QFETCH(QByteArray, sent);

        const QString stage = QString::fromLatin1(QTest::currentDataTag()).section('_', 0, 0);
        if (programs.isEmpty()) {
            programs = QStringList(3, Empty);
            if (stage.startsWith("program"))
                programs[stage.back().digitValue() - 1] = Row0745;
        }
        QVERIFY(writePrograms(programs.mid(0, 3), programs.value(3, QString(14, '3'))));
        if (faults.removeAll("damaged")) {
            QFile file(qmv::paths::workingFile(stage == "load" ? 1 : 2));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(":P2\r\nx\r\n") == 8);
        }
        if (faults.removeAll("missing"))
            QVERIFY(QFile::remove(qmv::paths::workingFile(1)));
        const bool gone = faults.removeAll("gone");
        const bool hold = faults.removeAll("hold");
        const QString typed = faults.filter("typed=").value(0, "typed=8:30").mid(6);
        faults.removeAll("typed=" + typed);

        Simulator sim;
        QVERIFY(sim.start(faults << "--erase-time=50", gone));
        if (gone && killAt.isEmpty())
            sim.stop();
        qmvComm &comm = qmvComm::instance();
        m_answerer->setHold(
            [&] { return hold && m_answerer->messages().isEmpty() && !comm.flagJ; });
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            const QString seen =
                QString::fromLatin1(sim.received()) + '|' + (m_window ? status() : QString());
            if (!killAt.isEmpty() && QRegularExpression(killAt).match(seen).hasMatch()) {
                killAt.clear();
                sim.stop();
            }
        });
        watch.start(5);

        QStringList statuses;
        m_window = frmDownload::open();
        // Rows that will not be sent are named as soon as the window opens.
        if (QByteArray(QTest::currentDataTag()) == "transfer_afterEmptyTime")
            QCOMPARE(status(), "These rows follow a row without a time and will not be sent:\n"
                               "Program 1: row 3\nProgram 3: row 2");
        connect(child<QPlainTextEdit>("Text1"), &QPlainTextEdit::textChanged, this,
                [&] { statuses << status(); });
        QVERIFY(openAndSettle());
        // Gone while the user checks the time: nothing of the transfer can reach the controller.
        QTRY_VERIFY(!gone || killAt.isEmpty());
        if (gone)
            QTRY_VERIFY(!comm.isOpen());
        if (child("cmdContinue")->isEnabled())
            confirmAndContinue(typed);
        watch.stop();
        // The clock sent is the one the window shows, a time even when the typed one was not.
        if (const qsizetype clock = sim.received().indexOf('T') + 1) {
            const QString set = child<QLineEdit>("txtTime")->text();
            QVERIFY2(QTime::fromString(set, "HH:mm").isValid(), qPrintable(set));
            QTRY_COMPARE(sim.received().mid(clock, 5), set.toLatin1());
        }

        const QString shown = m_answerer->messages().join("\n--\n");
        QVERIFY2(like(messages.join("\n--\n"), shown), qPrintable(shown));
        QVERIFY2(like(lastStatus, status()), qPrintable(status()));
        QCOMPARE(child("cmdContinue")->isEnabled(), buttons.contains('C'));
        QCOMPARE(child("cmdRetry")->isEnabled(), buttons.contains('R'));
        QCOMPARE(child("cmdExit")->isEnabled(), buttons.contains('E'));
        QCOMPARE(m_ended, int(buttons.isEmpty()));
        QVERIFY(sim.received().count('E') <= 1);
        if (sim.received().contains('E'))
            QVERIFY(statuses.contains("Connecting. . .\nSystem Connected"));
        if (!sent.isEmpty())
            QTRY_COMPARE(sim.received(), sent);
        // Closed at once, with a reason of its own rather than a modem-line query's.
        QVERIFY(!comm.isOpen() || !like(PortFailed, status()));
        QVERIFY2(!status().contains("ioctl"), qPrintable(status()));
        if (buttons.contains('E')) {
            child("cmdExit")->click();
            QCOMPARE(m_ended, 1);
        }
        if (!buttons.isEmpty())
            m_window->close();
        QVERIFY(!comm.isOpen());
    }

    // Tags are <action>_<moment>: close the window, end the program or press RETRY while a wait
    // runs, before CONTINUE or at the given status of the transfer.
    void interrupted_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QString>("when");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QByteArray>("sent"); // to the controller the sequence ends with
        const QByteArray whole("BET08:303P1D07:4523105P2D16:3015903P3W33333333333333F");
        const auto add = [](const char *tag, const QStringList &faults, const char *when,
                            const QStringList &messages, const QByteArray &sent) {
            QTest::newRow(tag) << faults << QString(when) << messages << sent;
        };
        add("close_waitingH", {"--silent", "H"}, "Program 1", {}, whole);
        add("end_waitingR", {"--silent", "R"}, "", {}, "B");
        add("retry_waitingC", {"--answer-after", "A:2"}, "", {NoA}, "BEBE");
        // The first erase is confirmed late: RETRY stays enabled through CONTINUE. The second
        // CONTINUE sends program 1's rows again, not the program the grid last showed.
        add("retry_inProgram2ThenContinue",
            {"--answer-after", "A:2", "--delay", "C:400", "--delay", "H:60"}, "Program 2", {NoA},
            "BET08:303P1D07:4523105P2D16:3015903" + whole);
    }

    void interrupted()
    {
        QFETCH(QStringList, faults);
        QFETCH(QString, when);
        QFETCH(QStringList, messages);
        QFETCH(QByteArray, sent);

        const QString action = QString::fromLatin1(QTest::currentDataTag()).section('_', 0, 0);
        QVERIFY(writePrograms({Row0745, "16:30\tOFF\tPULSE\t9\tON\tCONT\t3\tOFF"}));
        qmvComm &comm = qmvComm::instance();
        auto sim = std::make_unique<Simulator>();
        QVERIFY(sim->start(faults << "--erase-time=50"));
        m_window = frmDownload::open();
        const bool transfer = !when.isEmpty();
        bool acted = false;
        bool continueAfterRetry = false;
        QTimer actor;
        connect(&actor, &QTimer::timeout, this, [&] {
            if (acted || !m_window || !comm.isWaiting() || (transfer && status() != when) ||
                (action == "retry" && !child("cmdRetry")->isEnabled()))
                return;
            acted = true;
            if (action == "close") {
                m_window->close();
            } else if (action == "end") {
                qmv::endProgram();
                qmv::endProgram(); // a second call ends nothing more
            } else {
                child("cmdRetry")->click();
            }
            continueAfterRetry = m_window && child("cmdContinue")->isEnabled();
        });
        actor.start(5);
        if (transfer) {
            QTRY_VERIFY_WITH_TIMEOUT(child("cmdContinue")->isEnabled(), 10000);
            confirmAndContinue();
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
        QCOMPARE(status(), action == "end" ? "Connecting. . ." : Erased);
        QCOMPARE(child("cmdContinue")->isEnabled(), action != "end");
        QVERIFY(!child("cmdRetry")->isEnabled());
        QVERIFY(!continueAfterRetry);
        if (transfer) {
            confirmAndContinue();
            QCOMPARE(m_ended, 1);
        }
        QTRY_COMPARE(sim->received(), sent);
        // Program 2, sent again after RETRY, holds the second time's row alone.
        QVERIFY(action != "retry" || !transfer || sim->printed().contains("Program 2: 1 rows"));
    }
};

QTEST_MAIN(tst_FrmDownload)
#include "tst_frmdownload.moc"
