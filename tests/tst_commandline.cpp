#include "portchoice.h"
#include "simulatorprocess.h"

#include <QDateTime>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The qmv binary's options, and which serial port and drive root win when several name one.
class tst_CommandLine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        // Remembered ports go to the settings under this folder, never the user's own.
        qputenv("XDG_CONFIG_HOME", m_home.filePath("config").toLocal8Bit());
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
        add("two actions at once", {"--check", "a.qmv", "--print", "b.qmv"}, 2, {},
            "--check, --print and --download go one at a time");
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
    // last report must say what the controller got.
    void download_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("report"); // a line of standard error
        QTest::addColumn<QByteArray>("received");
        const QByteArray all = "BET*P1D07:3010305D12:0013510P2P3W11111223213213F";
        QTest::newRow("complete") << QStringList() << true << 0 << "System Programmed" << all;
        QTest::newRow("controller hangs up")
            << QStringList{"--hangup-after-rows", "1"} << true << 1 << "The download is incomplete."
            << QByteArray("BET*P1D07:3010305D12:0013510");
        QTest::newRow("no terminal to ask")
            << QStringList() << false << 2
            << "qmv: the download erases the controller; give --yes to go on without a terminal "
               "to ask."
            << QByteArray();
    }

    void download()
    {
        if (!qmvsim::Simulator::available())
            QSKIP("QMV_CONTROLLER_SIM does not name the controller simulator");
        QFETCH(QStringList, faults);
        QFETCH(bool, yes);
        qmvsim::Simulator sim;
        QVERIFY(sim.start(faults << "--erase-time=20"));
        QStringList arguments{"--download", QMV_CORPUS "/edited.qmv", "--port",
                              qEnvironmentVariable("QMV_SERIAL_PORT")};
        if (yes)
            arguments << "--yes";
        qunsetenv("QMV_SERIAL_PORT");
        // The clock is set to now and the weekday to today's, 1 for Sunday to 7 for Saturday;
        // the minute may turn while the download runs.
        const auto clock = [] {
            const QDateTime now = QDateTime::currentDateTime();
            return "T" + now.toString("HH:mm").toLatin1() + "2345671"[now.date().dayOfWeek() - 1];
        };
        const QByteArray before = clock();
        QProcess qmv;
        qmv.setStandardInputFile(QProcess::nullDevice());
        qmv.start(QMV_BINARY, arguments);
        QVERIFY(qmv.waitForFinished(20000));
        const QByteArray after = clock();
        QTEST(qmv.exitCode(), "exitCode");
        const QStringList lines =
            QString::fromLocal8Bit(qmv.readAllStandardError()).trimmed().split('\n');
        QFETCH(QString, report);
        QVERIFY2(lines.contains(report), qPrintable(lines.join('\n')));
        // Nothing is claimed that did not happen.
        QCOMPARE(lines.contains("System Programmed"), report == "System Programmed");
        QFETCH(QByteArray, received);
        received.replace("T*", before);
        QTRY_COMPARE(QByteArray(sim.received()).replace(after, before), received);
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
        const QString head = "The serial port /dev/ttyS0 cannot be opened: why\n";
        QTest::newRow("none") << false << QStringList()
                              << head + "This PC has no other serial port.";
        QTest::newRow("two") << false << QStringList{"/dev/ttyS0", "/dev/ttyUSB0"}
                             << head + "Serial ports on this PC: /dev/ttyS0, /dev/ttyUSB0.";
#ifdef Q_OS_LINUX
        QTest::newRow("denied") << true << QStringList{"/dev/ttyS0"}
                                << head + "Serial ports are for members of the group dialout: sudo "
                                          "adduser $USER dialout, then log in again.\nSerial ports "
                                          "on this PC: /dev/ttyS0.";
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
