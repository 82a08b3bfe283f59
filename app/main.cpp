#include "calendarrun.h"
#include "commandline.h"
#include "form1.h"
#include "paths.h"
#include "portchoice.h"
#include "recordcommands.h"
#include "terminaldownload.h"
#include "weekview.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

namespace {

// The exit code of a command line the tool does not understand.
constexpr int UsageError = 2;
constexpr int DefaultPlanDays = 31;
constexpr int MaxPlanDays = 3660;

void print(FILE *stream, const QString &text)
{
    std::fputs(qPrintable(text), stream);
    std::fflush(stream);
}

int usageError(const QString &what)
{
    print(stderr, QStringLiteral("qmv: %1\nTry 'qmv --help' for the options.\n").arg(what));
    return UsageError;
}

} // namespace

int main(int argc, char *argv[])
{
    // Options are read before any window system is touched, so --help, --version and a wrong
    // option answer on a machine without a display too.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Edits the bell programs and the weekly schedule of a bell and light "
                       "controller, and downloads them to it over a serial line."));
    // Qt's own help option would also list options that only a running application takes.
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Shows these options."));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Shows the version."));
    parser.addOptions({helpOption, versionOption});
    const QCommandLineOption rootOption(
        QStringLiteral("root"),
        QStringLiteral("The folder that stands for drive C: (program files in DIR/qmvdata)."),
        QStringLiteral("DIR"));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("The controller's serial port."),
                                        QStringLiteral("DEVICE"));
    const QCommandLineOption checkOption(
        QStringLiteral("check"),
        QStringLiteral("Reports what in a program file would not reach the controller as written, "
                       "one line each, and ends: exit code 0 when there is nothing to report, 1 "
                       "with findings, 2 when the file cannot be read."),
        QStringLiteral("FILE"));
    const QCommandLineOption printOption(
        QStringLiteral("print"),
        QStringLiteral("Writes the week at a glance of a program file as a PDF (see --output), "
                       "without a window."),
        QStringLiteral("FILE"));
    const QCommandLineOption outputOption(QStringLiteral("output"),
                                          QStringLiteral("The PDF file --print writes."),
                                          QStringLiteral("PDF"));
    const QCommandLineOption downloadOption(
        QStringLiteral("download"),
        QStringLiteral("Downloads a program file to the controller without a window: connect, "
                       "erase, clock (now), programs and schedule, with progress on standard "
                       "error. Exit code 0 only when every reply came."),
        QStringLiteral("FILE"));
    const QCommandLineOption yesOption(
        QStringLiteral("yes"),
        QStringLiteral("With --download: erase the controller without asking first."));
    parser.addOptions({rootOption, portOption, checkOption, printOption, outputOption,
                       downloadOption, yesOption});
    const QCommandLineOption calendarOption(
        QStringLiteral("calendar"),
        QStringLiteral("Downloads the program file the calendar gives for now, when the "
                       "controller does not hold it yet or its clock needs setting. Exit code 0 "
                       "when the controller holds what it should, 1 when a download failed, 2 "
                       "when the calendar cannot be used."));
    const QCommandLineOption planOption(
        QStringLiteral("plan"),
        QStringLiteral("With --calendar: prints what the controller will hold on each of the "
                       "coming DAYS days (default %1) and when downloads will happen; sends "
                       "nothing.")
            .arg(DefaultPlanDays));
    parser.addOptions({calendarOption, planOption});
    parser.addPositionalArgument(QStringLiteral("DAYS"),
                                 QStringLiteral("With --calendar --plan: the days to plan."),
                                 QStringLiteral("[DAYS]"));
    const QCommandLineOption forceOption(
        QStringLiteral("force"),
        QStringLiteral("With --download: download even when findings leave rows unsent."));
    parser.addOption(forceOption);
    // What the controller holds, from the records the downloads leave in qmvdata/confg.
    const QCommandLineOption statusOption(
        QStringLiteral("status"),
        QStringLiteral("Says what the controller holds after the last download: exit code 0 "
                       "complete, 1 incomplete or interrupted, 2 unknown."));
    const QCommandLineOption historyOption(
        QStringLiteral("history"),
        QStringLiteral("Lists the downloads, one line each; a number after it lists only the "
                       "last N."));
    const QCommandLineOption diffOption(
        QStringLiteral("diff"),
        QStringLiteral("Compares a program file with what the controller holds, one line per "
                       "difference: exit code 0 same, 1 different, 2 unknown or unreadable."),
        QStringLiteral("FILE"));
    parser.addOptions({statusOption, historyOption, diffOption});

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    // --history's count and --plan's days are the only arguments that stand alone.
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > int(parser.isSet(historyOption) || parser.isSet(planOption)))
        return usageError(QStringLiteral("unexpected argument '%1'").arg(positional.constLast()));
    int historyCount = 0;
    int planDays = DefaultPlanDays;
    if (!positional.isEmpty()) {
        bool ok = false;
        const int count = positional.constFirst().toInt(&ok);
        if (parser.isSet(planOption)) {
            if (!ok || count < 1 || count > MaxPlanDays)
                return usageError(QStringLiteral("DAYS is a number from 1 to %1").arg(MaxPlanDays));
            planDays = count;
        } else if (!ok || count < 1) {
            return usageError(
                QStringLiteral("unexpected argument '%1'").arg(positional.constFirst()));
        } else {
            historyCount = count;
        }
    }
    if (int(parser.isSet(checkOption)) + int(parser.isSet(printOption)) +
            int(parser.isSet(downloadOption)) + int(parser.isSet(statusOption)) +
            int(parser.isSet(historyOption)) + int(parser.isSet(diffOption)) +
            int(parser.isSet(calendarOption)) >
        1)
        return usageError(QStringLiteral("--check, --print, --download, --status, --history, "
                                         "--diff and --calendar go one at a time"));
    if (parser.isSet(planOption) && !parser.isSet(calendarOption))
        return usageError(QStringLiteral("--plan goes with --calendar"));
    if (parser.isSet(yesOption) && !parser.isSet(downloadOption))
        return usageError(QStringLiteral("--yes goes with --download"));
    if (parser.isSet(forceOption) && !parser.isSet(downloadOption))
        return usageError(QStringLiteral("--force goes with --download"));
    if (parser.isSet(printOption) != parser.isSet(outputOption))
        return usageError(QStringLiteral("--print and --output go together"));
    if (parser.isSet(helpOption)) {
        // Without an application object the parser cannot know the program's name.
        print(stdout, parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                QStringLiteral("qmv")));
        return EXIT_SUCCESS;
    }
    if (parser.isSet(versionOption)) {
        print(stdout, QStringLiteral("qmv " QMV_VERSION "\n"));
        return EXIT_SUCCESS;
    }
    if (parser.isSet(rootOption))
        qmv::paths::setDriveRoot(parser.value(rootOption));
    if (parser.isSet(portOption))
        qmv::port::setOverride(parser.value(portOption));

    if (parser.isSet(checkOption)) {
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        return qmv::cli::checkProgramFile(parser.value(checkOption), out);
    }
    if (parser.isSet(downloadOption)) {
        QCoreApplication app(argc, argv);
        QTextStream err(stderr);
        return qmv::downloadFromTerminal(parser.value(downloadOption), parser.isSet(yesOption),
                                         parser.isSet(forceOption), err);
    }
    if (parser.isSet(statusOption) || parser.isSet(historyOption) || parser.isSet(diffOption)) {
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        if (parser.isSet(statusOption))
            return qmv::cli::showStatus(out, err);
        if (parser.isSet(historyOption))
            return qmv::cli::showHistory(historyCount, out, err);
        return qmv::cli::diffWithController(parser.value(diffOption), out, err);
    }
    if (parser.isSet(calendarOption)) {
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return parser.isSet(planOption) ? qmv::cli::planCalendar(planDays, out, err)
                                        : qmv::cli::applyCalendar(out, err);
    }
    if (parser.isSet(printOption)) {
        // A page is drawn, never shown: no display is needed.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        QTextStream err(stderr);
        return qmv::week::printWeekToPdf(parser.value(printOption), parser.value(outputOption),
                                         err);
    }

    QApplication app(argc, argv);
    // The name only: a display name would be appended to every window caption.
    QApplication::setApplicationName(QStringLiteral("Quorvanite"));
    QApplication::setApplicationVersion(QStringLiteral(QMV_VERSION));

    const std::unique_ptr<Form1> form = Form1::start();
    if (!form)
        return EXIT_FAILURE;
    form->show();
    return app.exec();
}
