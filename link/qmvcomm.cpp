#include "qmvcomm.h"

#include "portchoice.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace qmv {

bool decodeStep(QByteArray &buffer, bool &flagH, bool &flagJ, bool &flagL)
{
    // A line end or a noise byte in front would otherwise block every later reply for good.
    static const QByteArray letters("HJLACK");
    qsizetype skip = 0;
    while (skip < buffer.size() && !letters.contains(buffer.at(skip)))
        ++skip;
    buffer.remove(0, skip);
    if (buffer.isEmpty())
        return false;
    switch (buffer.at(0)) {
    case 'H':
        flagH = true;
        break;
    case 'J':
        flagJ = true;
        break;
    case 'L':
        flagL = true;
        break;
    default:
        break;
    }
    buffer.remove(0, 1);
    return true;
}

} // namespace qmv

namespace {

// The exit code our own wake-ups give the wait's event loop; any other code means the
// application is quitting every loop.
constexpr int wokenCode = 0x514d;

class WaitGuard
{
public:
    explicit WaitGuard(bool &waiting, bool &stopRequested) : m_waiting(waiting)
    {
        m_waiting = true;
        stopRequested = false;
    }
    ~WaitGuard() { m_waiting = false; }
    WaitGuard(const WaitGuard &) = delete;
    WaitGuard &operator=(const WaitGuard &) = delete;

private:
    bool &m_waiting;
};

} // namespace

qmvComm::qmvComm(QObject *parent) : QObject(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &qmvComm::received);
    connect(&m_port, &QSerialPort::errorOccurred, this, &qmvComm::onError);
}

qmvComm::~qmvComm()
{
    ClosePort();
}

qmvComm &qmvComm::instance()
{
    // Destroyed while the application object still exists, so the port's notifiers go with it.
    static qmvComm *comm = [] {
        auto *created = new qmvComm;
        qAddPostRoutine([] { delete &qmvComm::instance(); });
        return created;
    }();
    return *comm;
}

void qmvComm::SetupPort()
{
    // Every name of one device must meet the same lock: /dev/serial/by-id/... names are links.
    m_device = PortLock::realDevice(qmv::port::chosen());
    m_port.setPortName(m_device);
    m_port.setBaudRate(QSerialPort::Baud9600);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
}

bool qmvComm::OpenPort()
{
    if (m_port.isOpen())
        ClosePort();
    m_failed = false;
    m_openDenied = false;
    m_error.clear();
    m_awaited = nullptr;
    m_unexpectedReplies = 0;
    ++m_openCount;
    if (!m_lock.claim(m_device))
        return refuseInUse();
    if (!m_port.open(QIODevice::ReadWrite)) {
        // onError() has usually kept the reason already, before clearing the port's error.
        if (m_error.isEmpty())
            m_error = m_port.errorString();
        m_port.clearError();
        m_lock.release();
        // Qt's own lock and an exclusive open refuse a busy port as if access were denied.
        return m_openDenied && PortLock::accessible(m_device) ? refuseInUse() : false;
    }
    if (!m_lock.claimDescriptor(m_port.handle())) {
        closeDevice();
        return refuseInUse();
    }
    return true;
}

bool qmvComm::refuseInUse()
{
    m_openDenied = false;
    m_error = tr("the port is in use by another program");
    return false;
}

void qmvComm::closeDevice()
{
    m_port.close();
    m_lock.release();
}

void qmvComm::ClosePort()
{
    abortWaits();
    if (!m_port.isOpen())
        return;
    if (!m_failed)
        m_port.flush();
    closeDevice();
}

bool qmvComm::isOpen() const
{
    return m_port.isOpen();
}

QString qmvComm::errorString() const
{
    return m_error;
}

qmvComm::Outcome qmvComm::WaitForReady()
{
    if (m_waiting)
        return Outcome::Busy;
    flagH = false;
    flagJ = false;
    flagL = false;
    return directWait(QByteArrayLiteral("B"), 'R', readyCycle, readyLimit,
                      QStringLiteral("SYSTEM NOT RESPONDING . . ."));
}

qmvComm::Outcome qmvComm::StartErase()
{
    if (m_waiting)
        return Outcome::Busy;
    if (!sendCommand(QByteArrayLiteral("E")))
        return Outcome::PortError;
    return directWait({}, 'A', eraseCycle, eraseRequestLimit,
                      QStringLiteral("SYSTEM NOT RESPONDING 2 . . ."));
}

qmvComm::Outcome qmvComm::WaitEraseDone()
{
    return directWait({}, 'C', eraseCycle, eraseDoneLimit,
                      QStringLiteral("SYSTEM NOT RESPONDING 2 . . ."));
}

qmvComm::Outcome qmvComm::directWait(const QByteArray &cycleCommand, char awaited,
                                     std::chrono::seconds cycle, std::chrono::seconds limit,
                                     const QString &message)
{
    if (m_waiting)
        return Outcome::Busy;
    if (!portUsable())
        return Outcome::PortError;
    const WaitGuard guard(m_waiting, m_stopRequested);
    const QByteArray wanted(1, awaited);

    const QDateTime start = clock().now();
    QByteArray lastRead;
    for (;;) {
        if (lastRead == wanted)
            return Outcome::Ok;
        if (clock().now() >= start.addSecs(limit.count()))
            return timedOut(message);
        if (!cycleCommand.isEmpty() && !sendCommand(cycleCommand))
            return Outcome::PortError;
        const QDateTime cycleEnd = clock().now().addSecs(cycle.count());
        while (lastRead != wanted && clock().now() < cycleEnd) {
            // Data that came while a nested loop ran raises no new readyRead: look first.
            if (m_port.bytesAvailable() == 0) {
                if (!sleepUntil(cycleEnd)) {
                    stopDecoder();
                    return Outcome::Stopped;
                }
                if (m_stopRequested)
                    return Outcome::Stopped;
                if (!portUsable())
                    return Outcome::PortError;
                if (m_port.bytesAvailable() == 0)
                    continue;
            }
            // Each read replaces the last: the awaited letter counts only as a read of its own.
            lastRead = m_port.readAll();
        }
    }
}

qmvComm::Outcome qmvComm::waitForFlag(const bool &flag, const QString &message)
{
    if (m_waiting)
        return Outcome::Busy;
    const WaitGuard guard(m_waiting, m_stopRequested);

    const QDateTime deadline = clock().now().addSecs(flagLimit.count());
    while (!flag) {
        // Replies the port brought before it failed have been decoded already.
        if (!m_port.isOpen() || m_failed)
            return Outcome::PortError;
        if (clock().now() >= deadline)
            return timedOut(message);
        if (!sleepUntil(deadline)) {
            stopDecoder();
            return Outcome::Stopped;
        }
        if (m_stopRequested)
            return Outcome::Stopped;
    }
    return Outcome::Ok;
}

qmvComm::Outcome qmvComm::timedOut(const QString &message)
{
    if (showMessage)
        showMessage(message);
    // The window may have been closed while its message was up.
    return m_stopRequested ? Outcome::Stopped : Outcome::TimedOut;
}

bool qmvComm::sendCommand(const QByteArray &command)
{
    if (!portUsable())
        return false;
    if (m_port.write(command) != command.size()) {
        m_error = m_port.errorString();
        return false;
    }
    // Out now rather than at the next turn of the event loop: the port may be closed before that.
    m_port.flush();
    return !m_failed;
}

bool qmvComm::sendRequest(const QByteArray &command, bool &flag)
{
    if (!portUsable())
        return false;
    // What the port has taken from the line but not yet handed over counts as received too.
    m_port.waitForReadyRead(0);
    const QByteArray dropped = m_replyBuffer + m_port.readAll();
    m_replyBuffer.clear();
    for (const char letter : dropped)
        m_unexpectedReplies += letter == 'H' || letter == 'J' || letter == 'L';
    flag = false;
    m_awaited = &flag;
    return sendCommand(command);
}

void qmvComm::DecodeReply()
{
    if (m_port.isOpen())
        m_replyBuffer += m_port.readAll();
    bool h = false;
    bool j = false;
    bool l = false;
    while (qmv::decodeStep(m_replyBuffer, h, j, l)) {
        bool *flag = h ? &flagH : j ? &flagJ : l ? &flagL : nullptr;
        if (!flag)
            continue;
        const char letter = h ? 'H' : j ? 'J' : 'L';
        h = j = l = false;
        *flag = true;
        if (flag != m_awaited) {
            ++m_unexpectedReplies;
            continue;
        }
        m_awaited = nullptr;
        emit replied(letter);
    }
}

void qmvComm::received()
{
    if (m_decoding)
        DecodeReply();
    wake();
}

void qmvComm::startDecoder()
{
    m_decoding = true;
    DecodeReply();
}

void qmvComm::stopDecoder()
{
    m_decoding = false;
}

bool qmvComm::decoderRunning() const
{
    return m_decoding;
}

bool qmvComm::isWaiting() const
{
    return m_waiting;
}

void qmvComm::setClock(const qmv::Clock *clock)
{
    m_clock = clock;
}

void qmvComm::abortWaits()
{
    stopDecoder();
    if (!m_waiting)
        return;
    m_stopRequested = true;
    wake();
}

bool qmvComm::sleepUntil(const QDateTime &moment)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, [&loop] { loop.exit(wokenCode); });
    timer.start(clock().realTimeUntil(moment));
    m_loop = &loop;
    const int code = loop.exec();
    m_loop = nullptr;
    return code == wokenCode;
}

void qmvComm::wake()
{
    if (m_loop)
        m_loop->exit(wokenCode);
}

void qmvComm::onError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
        return;
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError: {
        if (m_failed)
            return;
        m_failed = true;
        // The port's own text for a failed read is whatever errno last held (often a modem-line
        // query's "Inappropriate ioctl for device"), not why it failed.
        m_error = error == QSerialPort::WriteError
                      ? m_port.errorString()
                      : tr("the device can no longer be read; it may have been unplugged");
        // Replies that came with the failure still count.
        if (m_decoding)
            DecodeReply();
        stopDecoder();
        wake();
        // Closed on the next turn of the event loop, not inside the port's own notification; an
        // open port whose device has gone would keep waking the event loop.
        QTimer::singleShot(0, this, [this, port = m_openCount] {
            if (m_failed && port == m_openCount && m_port.isOpen())
                closeDevice();
        });
        emit portFailed(m_error);
        return;
    }
    default:
        // A failed open reports here before open() returns: keep its reason for OpenPort().
        if (!m_port.isOpen()) {
            m_error = m_port.errorString();
            m_openDenied = error == QSerialPort::PermissionError;
        }
        // Modem-line queries a pseudo-terminal does not support, and the like: not fatal, but
        // the error would stay set until cleared.
        m_port.clearError();
        return;
    }
}

bool qmvComm::portUsable()
{
    if (!m_port.isOpen()) {
        if (m_error.isEmpty())
            m_error = tr("The serial port %1 is not open.").arg(m_port.portName());
        return false;
    }
    return !m_failed;
}

const qmv::Clock &qmvComm::clock() const
{
    return m_clock ? *m_clock : m_systemClock;
}
