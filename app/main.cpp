#include "form1.h"
#include "paths.h"
#include "portchoice.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>

namespace {

// The exit code of a command line the tool does not understand.
constexpr int UsageError = 2;

void print(FILE *stream, const QString &text)
{
    std::fputs(qPrintable(text), stream);
    std::fflush(stream);
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
    parser.addOptions({rootOption, portOption});

    if (!parser.parse(arguments)) {
        print(
            stderr,
            QStringLiteral("qmv: %1\nTry 'qmv --help' for the options.\n").arg(parser.errorText()));
        return UsageError;
    }
    if (!parser.positionalArguments().isEmpty()) {
        print(stderr, QStringLiteral("qmv: unexpected argument '%1'\nTry 'qmv --help' for the "
                                     "options.\n")
                          .arg(parser.positionalArguments().constFirst()));
        return UsageError;
    }
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
