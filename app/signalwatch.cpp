#include "signalwatch.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
constexpr int Watched[] = {SIGINT, SIGTERM, SIGHUP};

// The handler may only write: the rest runs in the event loop, told through this socket pair.
int pipeEnds[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const char number = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[0], &number, 1);
}
#endif

} // namespace

SignalWatch::SignalWatch(QObject *parent) : QObject(parent)
{
#ifdef Q_OS_UNIX
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pipeEnds) != 0)
        return;
    m_notifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char number = 0;
        if (::read(pipeEnds[1], &number, 1) == 1)
            emit caught(number);
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : Watched)
        ::sigaction(signalNumber, &action, nullptr);
#endif
}

SignalWatch::~SignalWatch()
{
#ifdef Q_OS_UNIX
    if (!m_notifier)
        return;
    for (const int signalNumber : Watched)
        std::signal(signalNumber, SIG_DFL);
    delete m_notifier;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
#endif
}

QString SignalWatch::name(int signalNumber)
{
#ifdef Q_OS_UNIX
    switch (signalNumber) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    }
#endif
    return QStringLiteral("signal %1").arg(signalNumber);
}
