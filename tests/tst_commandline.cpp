#include "portchoice.h"
#include "programfile.h"
#include "qmvcomm.h"
#include "simulatorprocess.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

// The qmv binary's options, and which serial port and drive root win when several name one.
class tst_CommandLine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

    // qmv with `arguments` under the test's own drive root; its exit code, -1 if it never ended.
    int run(const QStringList &arguments, QString *out = nullptr, QProcess *qmv = nullptr)
    {
        QProcess own;
        QProcess &process = qmv ? *qmv : own;
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(QMV_BINARY, QStringList{"--root", m_home.path()} + arguments);
        if (qmv)
            return 0;
        if (!process.waitForFinished(20000))
            return -1;
        if (out)
            *out = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
        return process.exitCode();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        // Remembered ports go to the settings under this folder, never the user's own.
        qputenv("XDG_CONFIG_HOME", m_home.filePath("config").toLocal8Bit());
        // Downloads send the clock at the start of a minute: a few seconds before one, they wait
        // no longer than that.
        qputenv("QMV_NOW", "2027-03-19T09:59:58");
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out"); // a text standard output must hold
        QTest::addColumn<QString>("err"); // a text standard error must hold
        auto add = [](const char *name, const QStringList &arguments, int exitCode,
                      const QString &out, const QString &err = {}) {
            QTest::newRow(name) << arguments << exitCode << out << err;
        };
        const QString corpus = QStringLiteral(QMV_CORPUS "/");
        add("version", {"--version"}, 0, "qmv " QMV_VERSION);
        add("help", {"--help"}, 0, "--port <DEVICE>");
        add("unknown option", {"--colour"}, 2, {}, "qmv: Unknown option 'colour'.");
        add("root without a folder", {"--root"}, 2, {}, "Missing value after '--root'");
        add("stray argument", {"week1.qmv"}, 2, {}, "unexpected argument 'week1.qmv'");
        add("yes without download", {"--yes"}, 2, {}, "--yes goes with --download");
        add("force without download", {"--force"}, 2, {}, "--force goes with --download");
        add("two actions at once", {"--check", "a.qmv", "--calendar"}, 2, {},
            "--check, --print, --download, --status, --history, --diff and --calendar go one at a "
            "time");
        add("plan without calendar", {"--plan"}, 2, {}, "--plan goes with --calendar");
        add("plan days not a number", {"--calendar", "--plan", "x"}, 2, {},
            "DAYS is a number from 1 to 3660");
        add("days without plan", {"--calendar", "7"}, 2, {}, "unexpected argument '7'");
        add("check: clean", {"--check", corpus + "new-file.qmv"}, 0, "new-file.qmv: no findings");
        add("check: findings", {"--check", corpus + "edited.qmv"}, 1,
            "program 1, row 2: both bells ring PULSE 10 s (bell 1: CONT 10 s; bell 2: PULSE 20 s)");
        add("check: missing file", {"--check", corpus + "none.qmv"}, 2, "none.qmv");
        add("print without output", {"--print", corpus + "edited.qmv"}, 2, {},
            "--print and --output go together");
        add("output without print", {"--output", "week.pdf"}, 2, {},
            "--print and --output go together");
    }

    void options()
    {
        QFETCH(QStringList, arguments);
        QProcess qmv;
        // No platform at all: none of these may need a window.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "none");
        qmv.setProcessEnvironment(environment);
        qmv.start(QMV_BINARY, arguments);
        QVERIFY(qmv.waitForFinished(10000));
        QCOMPARE(qmv.exitStatus(), QProcess::NormalExit);
        QTEST(qmv.exitCode(), "exitCode");
        const QString outText = QString::fromLocal8Bit(qmv.readAllStandardOutput());
        QFETCH(QString, out);
        QVERIFY2(outText.contains(out), qPrintable(outText));
        QFETCH(QString, err);
        const QString errText = QString::fromLocal8Bit(qmv.readAllStandardError());
        QVERIFY2(errText.contains(err), qPrintable(errText));
    }

    // The download without a window against the controller simulator: the exit code and the
    // reports must say what the controller got. Findings that leave rows unsent, and the device
    // held under another of its names, keep the port untouched; a signal stops the download
    // while the first row's reply is awaited; a closed pipe (SIGPIPE) stops only the progress.
    void download_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("faults");
        // "device" or "link": another holds the device there, the download asks the other name
        QTest::addColumn<QString>("held");
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("reports"); // lines of standard error
        QTest::addColumn<QByteArray>("received");
        const QString edited = QMV_CORPUS "/edited.qmv";
        // Bell 2 on Monday rings program "4": the schedule cannot be sent.
        const QString unsent = QMV_CORPUS "/schedule-four.qmv";
        const QStringList yes{"--yes"};
        const QString incomplete = "The download is incomplete.";
        const QByteArray programs = "BET*P1D07:3010305D12:0013510P2P3";
        const QByteArray all = programs + "W11111223213213F";
        const QStringList late{"--delay", "H:5000"};
        const QString stopped = "qmv: stopped by %1; the serial port is closed.";
        const QString erasedOnly =
            "The controller is erased and holds only what it confirmed since: "
            "clock set: yes; program 1: 0 rows; program 2: 0 rows; program 3: 0 "
            "rows; weekly schedule: no.";
        const QString inUse = "The serial port %1 cannot be opened: the port is in use by another "
                              "program";
        auto row = [](const char *name, const QString &file, const QStringList &options,
                      const QStringList &faults, const QString &held, int signalNumber,
                      int exitCode, const QStringList &reports, const QByteArray &received) {
            QTest::newRow(name) << file << options << faults << held << signalNumber << exitCode
                                << reports << received;
        };
        row("complete", edited, yes, {}, {}, 0, 0,
            {"program 1, row 2: both bells ring PULSE 10 s (bell 1: CONT 10 s; bell 2: PULSE 20 "
             "s)",
             "System Programmed"},
            all);
        row("controller hangs up", edited, yes, {"--hangup-after-rows", "1"}, {}, 0, 1,
            {incomplete}, "BET*P1D07:3010305D12:0013510");
        row("doubled reply", edited, yes, {"--reply", "H:HH"}, {}, 0, 1,
            {incomplete,
             "Replies that no command awaited: 2. A later command may count as confirmed by "
             "one of them."},
            all);
        row("no terminal to ask", edited, {}, {}, {}, 0, 2,
            {"qmv: the download erases the controller; give --yes to go on without a terminal to "
             "ask."},
            {});
        row("rows left unsent", unsent, yes, {}, {}, 0, 2,
            {"schedule: Bell 2, Monday holds \"4\", not a program 1, 2 or 3",
             "qmv: the controller would not get all of schedule-four.qmv (see above); it was not "
             "touched. Give --force to download it anyway."},
            {});
        row("rows left unsent, forced", unsent, {"--yes", "--force"}, {}, {}, 0, 1,
            {incomplete, "The weekly schedule was not sent."}, programs + "F");
        row("held as the device, asked as a link", edited, yes, {}, "device", 0, 1,
            {inUse.arg("LINK")}, {});
        row("held as a link, asked as the device", edited, yes, {}, "link", 0, 1,
            {inUse.arg("DEVICE")}, {});
        row("SIGINT", edited, yes, late, {}, SIGINT, 130, {stopped.arg("SIGINT"), erasedOnly},
            "BET*P1D07:3010305");
        row("SIGTERM", edited, yes, late, {}, SIGTERM, 143, {stopped.arg("SIGTERM"), erasedOnly},
            "BET*P1D07:3010305");
        row("SIGHUP", edited, yes, late, {}, SIGHUP, 129, {stopped.arg("SIGHUP"), erasedOnly},
            "BET*P1D07:3010305");
        row("closed pipe", edited, yes, {}, {}, SIGPIPE, 0, {}, all);
    }

    void download()
    {
        if (!qmvsim::Simulator::available())
            QSKIP("QMV_CONTROLLER_SIM does not name the controller simulator");
        QFETCH(QStringList, faults);
        QFETCH(QString, held);
        qmvsim::Simulator sim;
        QVERIFY(sim.start(faults << "--erase-time=20", true));
        const QString link = qEnvironmentVariable("QMV_SERIAL_PORT");
        const QString device = QFile::symLinkTarget(link);
        qunsetenv("QMV_SERIAL_PORT");
        qmvComm holder;
        if (!held.isEmpty()) {
            qmv::port::setOverride(held == "link" ? link : device);
            holder.SetupPort();
            QVERIFY(holder.OpenPort());
            qmv::port::setOverride(QString());
        }
        QFETCH(QString, file);
        QFETCH(QStringList, options);
        QProcess qmv;
        QFETCH(int, signalNumber);
        // A pipe whose reading end is gone, for standard error.
        int closedPipe[2] = {-1, -1};
        if (signalNumber == SIGPIPE) {
            QCOMPARE(::pipe(closedPipe), 0);
            ::close(closedPipe[0]);
        }
        // As a shell starts it: this process ignores SIGPIPE, and the child would inherit that.
        qmv.setChildProcessModifier([end = closedPipe[1]] {
            std::signal(SIGPIPE, SIG_DFL);
            if (end >= 0)
                ::dup2(end, STDERR_FILENO);
        });
        qmv.setStandardInputFile(QProcess::nullDevice());
        qmv.start(QMV_BINARY, QStringList{"--root", m_home.path(), "--download", file, "--port",
                                          held == "device" ? link : device} +
                                  options);
        QString err;
        if (signalNumber == SIGPIPE) {
            ::close(closedPipe[1]);
        } else if (signalNumber != 0) {
            QTRY_VERIFY_WITH_TIMEOUT((err += qmv.readAllStandardError()).contains("Program 1"),
                                     10000);
            QCOMPARE(::kill(pid_t(qmv.processId()), signalNumber), 0);
        }
        QVERIFY(qmv.waitForFinished(20000));
        QCOMPARE(qmv.exitStatus(), QProcess::NormalExit);
        QTEST(qmv.exitCode(), "exitCode");
        err += QString::fromLocal8Bit(qmv.readAllStandardError());
        err.replace(link, "LINK").replace(device, "DEVICE");
        const QStringList lines = err.trimmed().split('\n');
        QFETCH(QStringList, reports);
        for (const QString &report : reports)
            QVERIFY2(lines.contains(report), qPrintable(err));
        // Nothing is claimed that did not happen; a port in use is no matter of permissions; the
        // window's buttons are not there to press.
        QCOMPARE(lines.contains("System Programmed"), reports.contains("System Programmed"));
        QVERIFY2(!err.contains("dialout"), qPrintable(err));
        QVERIFY2(!err.contains("CONTINUE"), qPrintable(err));
        // The clock is set at the start of the minute after QMV_NOW's 09:59:58, a Friday: the
        // controller counts weekdays from 1 for Sunday.
        QFETCH(QByteArray, received);
        QTRY_COMPARE(sim.received(), received.replace("BET*", "BET10:006"));
    }

    // Downloads leave records that say what the controller holds: complete, cut short by a
    // controller that hangs up in program 2 row 4, and killed midway.
    void records()
    {
        if (!qmvsim::Simulator::available())
            QSKIP("QMV_CONTROLLER_SIM does not name the controller simulator");
        QVERIFY(QDir(m_home.path()).removeRecursively() && QDir().mkpath(m_home.path()));
        QString out;
        QCOMPARE(run({"--status"}, &out), 2);
        QCOMPARE(out, "Controller: unknown: no download to it is recorded");

        qmv::ProgramFile week;
        week.programs.fill(qmv::defaultBellTable());
        week.schedule = qmv::defaultSchedule();
        for (int row = 0; row < 5; ++row)
            week.programs[1].rows[row] =
                QString("0%1:00\tON\tPULSE\t5\tOFF\tCONT\t\tOC").arg(row + 1).split('\t');
        week.programs[2].rows[0] = QString("06:00\tON\tCONT\t9\tOFF\tCONT\t\tON").split('\t');
        const QString file = m_home.filePath("week1.qmv");
        QCOMPARE(qmv::writeFileAtomic(file, qmv::programFileBytes(week)), QString());
        QCOMPARE(run({"--diff", file}), 2);
        // A download still running keeps its controller until the test ends.
        std::vector<std::unique_ptr<qmvsim::Simulator>> controllers;
        const auto download = [&](const QStringList &faults, QProcess *running = nullptr) {
            controllers.push_back(std::make_unique<qmvsim::Simulator>());
            if (!controllers.back()->start(faults + QStringList{"--erase-time=20"}))
                return -1;
            const QStringList arguments{"--download", file, "--yes", "--port",
                                        qEnvironmentVariable("QMV_SERIAL_PORT")};
            return running ? run(arguments, nullptr, running) : run(arguments);
        };

        QCOMPARE(download({}), 0);
        QCOMPARE(run({"--status"}, &out), 0);
        QVERIFY2(QRegularExpression("^Controller: week1.qmv, programmed \\w{3} \\d+ \\w{3} \\d{4} "
                                    "\\d\\d:\\d\\d, complete$")
                     .match(out)
                     .hasMatch(),
                 qPrintable(out));
        QCOMPARE(run({"--diff", file}, &out), 0);
        QCOMPARE(out, "same as the controller");
        qmv::ProgramFile edited = week;
        edited.programs[1].rows[3][0] = "04:30";
        edited.schedule.rows[1][0] = "1";
        const QString editedFile = m_home.filePath("edited.qmv");
        QCOMPARE(qmv::writeFileAtomic(editedFile, qmv::programFileBytes(edited)), QString());
        QCOMPARE(run({"--diff", editedFile}, &out), 1);
        QCOMPARE(out, "program 2 row 4: 04:30 ON PULSE 5 OFF CONT - OC | controller: 04:00 ON "
                      "PULSE 5 OFF CONT - OC\nschedule bell 2 Monday: 1 | controller: 3\n"
                      "1 row and 1 schedule cell differ");

        QCOMPARE(download({"--hangup-after-rows", "3"}), 1);
        QCOMPARE(run({"--status"}, &out), 1);
        QVERIFY2(out.endsWith(", incomplete: program 2 from row 4 on, program 3 and the schedule "
                              "are missing"),
                 qPrintable(out));
        QCOMPARE(run({"--diff", file}), 1);

        // Killed while program 2 waits for its first answer.
        QProcess killed;
        QCOMPARE(download({"--delay", "H:5000"}, &killed), 0);
        const QDir records(m_home.filePath("qmvdata/confg/downloads"));
        QTRY_VERIFY_WITH_TIMEOUT(records.entryList({"*.rec"}).size() == 3, 10000);
        const auto recorded = [&records](int from, int to) {
            QByteArray text, bytes;
            for (const QString &name : records.entryList({"*.rec"}).mid(from, to - from))
                text += qmv::readFile(records.filePath(name), &bytes).isEmpty() ? bytes : "";
            return text;
        };
        QTRY_VERIFY_WITH_TIMEOUT(recorded(2, 3).contains("\nclock "), 10000);
        const QByteArray before = recorded(0, 2);
        QVERIFY(before.contains("\nend complete "));
        QVERIFY(before.contains("\nend incomplete "));
        QTest::qWait(200);
        killed.kill();
        QVERIFY(killed.waitForFinished());
        QCOMPARE(run({"--status"}, &out), 1);
        QVERIFY2(out.endsWith(", interrupted: program 2, program 3 and the schedule are missing"),
                 qPrintable(out));
        QCOMPARE(run({"--history"}, &out), 0);
        const QStringList history = out.split('\n');
        QCOMPARE(history.size(), 3);
        QVERIFY2(history[0].endsWith("  complete"), qPrintable(out));
        QVERIFY2(history[1].contains("  incomplete (program 2: "), qPrintable(out));
        QVERIFY2(history[2].endsWith("  interrupted"), qPrintable(out));
        QCOMPARE(recorded(0, 2), before);
        QCOMPARE(run({"--history", "1"}, &out), 0);
        QCOMPARE(out, history[2]);

        // Records that cannot be written: the download goes on and says so.
        QVERIFY(QDir(records.path()).removeRecursively());
        QFile blocker(records.path());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QProcess unrecorded;
        QCOMPARE(download({}, &unrecorded), 0);
        QVERIFY(unrecorded.waitForFinished(20000));
        QCOMPARE(unrecorded.exitCode(), 0);
        const QString err = QString::fromLocal8Bit(unrecorded.readAllStandardError());
        QVERIFY2(err.contains("System Programmed\nThis download could not be recorded: "),
                 qPrintable(err));
    }

    void portPrecedence_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QString>("chosen");
        auto add = [](const char *name, const char *option, const char *environment,
                      const char *remembered, const QString &chosen) {
            QTest::newRow(name) << QString(option) << QString(environment) << QString(remembered)
                                << chosen;
        };
        add("nothing: port 1", "", "", "", qmv::port::defaultName());
        add("remembered", "", "", "/dev/ttyUSB0", "/dev/ttyUSB0");
        add("environment beats remembered", "", "/dev/ttyACM1", "/dev/ttyUSB0", "/dev/ttyACM1");
        add("option beats all", "/dev/ttyS3", "/dev/ttyACM1", "/dev/ttyUSB0", "/dev/ttyS3");
    }

    void portPrecedence()
    {
        QFETCH(QString, option);
        QFETCH(QString, environment);
        QFETCH(QString, remembered);
        qmv::port::setOverride(option);
        qputenv("QMV_SERIAL_PORT", environment.toLocal8Bit());
        qmv::port::remember(remembered);
        QTEST(qmv::port::chosen(), "chosen");
        qmv::port::setOverride(QString());
        qunsetenv("QMV_SERIAL_PORT");
        qmv::port::remember(QString());
    }

    void portOpenFailure_data()
    {
        QTest::addColumn<bool>("denied");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("text");
        auto add = [](const char *name, bool denied, const QStringList &present,
                      const QString &text) {
            QTest::newRow(name) << denied << present
                                << "The serial port /dev/ttyS0 cannot be opened: why\n" + text;
        };
        add("none", false, {}, "This PC has no other serial port.");
        add("two", false, {"/dev/ttyS0", "/dev/ttyUSB0"},
            "Serial ports on this PC: /dev/ttyS0, /dev/ttyUSB0.");
#ifdef Q_OS_LINUX
        add("denied", true, {"/dev/ttyS0"},
            "Serial ports are for members of the group dialout: sudo adduser $USER dialout, then "
            "log in again.\nSerial ports on this PC: /dev/ttyS0.");
#endif
    }

    void portOpenFailure()
    {
        QFETCH(bool, denied);
        QFETCH(QStringList, present);
        qmv::port::setOverride(QStringLiteral("/dev/ttyS0"));
        QTEST(qmv::port::openFailure(QStringLiteral("why"), denied, present), "text");
        qmv::port::setOverride(QString());
    }
};

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
