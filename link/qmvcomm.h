#pragma once

#include "clock.h"
#include "portlock.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <chrono>
#include <functional>

class QEventLoop;

namespace qmv {

// One step of the reply decoder on `buffer`: drops what stands before the first reply letter
// (spaces, line ends, noise), then decodes that one letter: "H", "J", "L" set their flag, "A",
// "C", "K" are dropped without effect. Returns false, with the buffer empty, when no letter was
// left to decode.
bool decodeStep(QByteArray &buffer, bool &flagH, bool &flagJ, bool &flagL);

} // namespace qmv

// The link to the bell controller: the serial port, the commands, the waits for the controller's
// replies and the decoder that turns the later replies into flags. No widgets: whoever uses it
// shows its time-out messages through `showMessage`.
//
// One instance lives as long as the program (instance()), so the reply buffer and the flags
// outlive a closed download window. Tests make their own instances.
//
// Use by the download sequence:
//   connect, erase:  SetupPort(); OpenPort() (false: show errorString()); WaitForReady();
//                    StartErase(); WaitEraseDone(); then startDecoder(). The direct waits read
//                    the port themselves, so the decoder must not run during them (it does not
//                    unless started: ClosePort() stops it).
//   later commands:  sendRequest("T08:303", flagJ) (false: show errorString());
//                    waitForFlag(flagJ, "Time Setting Problems . . ."). The decoder decodes every
//                    letter as it arrives and wakes the wait; the flag waits do not look at the
//                    flag again after their message, so a caller that must (the time step) tests
//                    it itself.
//   the port failing: the link stops the decoder, ends any running wait with PortError, emits
//                    portFailed() with the reason and closes the port on the next turn of the
//                    event loop.
//   RETRY, EXIT, closing the window: ClosePort(). It first ends any running wait, which returns
//                    Outcome::Stopped at once and shows nothing, and stops the decoder; RETRY's
//                    next connection starts the decoder again after its erase.
//   ending the program: connect qmv::Lifecycle::aboutToEnd to ClosePort() (or abortWaits()), so
//                    no wait keeps running once the program is ending.
//
// Every wait blocks in a nested event loop until data, its clock or a stop arrives, so timers,
// clicks and the closing of windows are handled while it runs; it returns Outcome::Busy at once
// when another wait is still running (started from an event handled inside that one). Never
// start a wait from a slot connected to the port's readyRead.
class qmvComm : public QObject
{
    Q_OBJECT
public:
    enum class Outcome
    {
        Ok,        // the awaited reply came
        TimedOut,  // the limit passed; the message has been shown and answered
        Stopped,   // ended from outside (abortWaits, ClosePort, the application quitting)
        PortError, // the port is not open, has failed or a write failed: see errorString()
        Busy,      // another wait is running
    };
    Q_ENUM(Outcome)

    static constexpr std::chrono::seconds readyCycle{3};
    static constexpr std::chrono::seconds readyLimit{30};
    static constexpr std::chrono::seconds eraseCycle{10};
    static constexpr std::chrono::seconds eraseRequestLimit{60};
    static constexpr std::chrono::seconds eraseDoneLimit{120};
    static constexpr std::chrono::seconds flagLimit{30};

    explicit qmvComm(QObject *parent = nullptr);
    ~qmvComm() override;

    static qmvComm &instance();

    // Shows a time-out message ("SYSTEM NOT RESPONDING . . ." and the callers' flag-wait
    // messages) and returns only once the user has answered it; the download window passes
    // ShowMessageBox(message, "qmv...", 3, 1). When unset, time-outs show nothing.
    std::function<void(const QString &message)> showMessage;

    bool flagH = false;
    bool flagJ = false;
    bool flagL = false;

    // Names the device (qmv::port::chosen(), through any symbolic links) and sets 9600 baud, no
    // parity, 8 data bits, 1 stop bit, no flow control. DTR and RTS are left as they are.
    void SetupPort();
    // Opens the port for reading and writing (closing it first when open) and holds it against
    // every other opener, under any name. False when it cannot be opened: errorString() then
    // holds the port's text, or says the port is in use by another program.
    bool OpenPort();
    // Ends any running wait and stops the decoder, sends what is still buffered, closes the port.
    void ClosePort();
    bool isOpen() const;
    // The port's error text of the last failure (opening, reading, writing).
    QString errorString() const;
    // The last OpenPort() failed because this user may not use the device.
    bool openDenied() const { return m_openDenied; }

    // Sends "B" about every 3 seconds until a read is exactly "R"; 30 s limit, message
    // "SYSTEM NOT RESPONDING . . .". Clears flagH, flagJ and flagL first.
    Outcome WaitForReady();
    // Sends "E" once and waits for a read that is exactly "A"; 60 s limit, message
    // "SYSTEM NOT RESPONDING 2 . . .".
    Outcome StartErase();
    // Waits for a read that is exactly "C"; 120 s limit, message "SYSTEM NOT RESPONDING 2 . . .".
    Outcome WaitEraseDone();
    // Waits until `flag` (flagH, flagJ or flagL of this object) is true, for 30 s, then shows
    // `message`. A flag already true ends it at once. Does not clear the flag. The decoder must be
    // running for the flag to be set. Returns PortError, without a message, when the port is
    // closed, or has failed and no reply it brought before is left to decode.
    Outcome waitForFlag(const bool &flag, const QString &message);

    // Sends a command in one write; nothing is appended. False, with errorString(), when the port
    // is not open, has failed or the write fails.
    bool sendCommand(const QByteArray &command);
    // For a command whose reply is awaited: drops whatever was received and not yet decoded and
    // clears `flag` (flagH, flagJ or flagL), then sends. Letters a controller sent before the
    // command would otherwise confirm it.
    bool sendRequest(const QByteArray &command, bool &flag);

    // Reply letters (H, J, L) that came when no command awaited them, since the port was opened:
    // each may have confirmed a later command that the controller never answered.
    int unexpectedReplies() const { return m_unexpectedReplies; }

    // Appends what the port has received to the reply buffer and decodes every letter in it.
    void DecodeReply();
    // The decoder: DecodeReply() whenever the port has received something.
    void startDecoder();
    void stopDecoder();
    bool decoderRunning() const;

    bool isWaiting() const;

    // The clock the waits use; nullptr restores the system clock. Not owned.
    void setClock(const qmv::Clock *clock);

signals:
    // The port has failed (the device has gone, a read or write failed); it is closed right after.
    void portFailed(const QString &reason);
    // The awaited reply `letter` (H, J or L) has come.
    void replied(char letter);

public slots:
    // Ends a running wait at once with Outcome::Stopped and no message, and stops the decoder.
    void abortWaits();

private:
    Outcome directWait(const QByteArray &cycleCommand, char awaited, std::chrono::seconds cycle,
                       std::chrono::seconds limit, const QString &message);
    Outcome timedOut(const QString &message);
    bool sleepUntil(const QDateTime &moment);
    void wake();
    void onError(QSerialPort::SerialPortError error);
    bool portUsable();
    bool refuseInUse();
    void closeDevice();
    void received();
    const qmv::Clock &clock() const;

    QSerialPort m_port;
    QString m_device;
    PortLock m_lock;
    // The flag whose reply the last request awaits, until that reply comes.
    bool *m_awaited = nullptr;
    int m_unexpectedReplies = 0;
    // Replies received but not yet decoded.
    QByteArray m_replyBuffer;
    bool m_decoding = false;
    int m_openCount = 0;
    qmv::SystemClock m_systemClock;
    const qmv::Clock *m_clock = nullptr;
    QString m_error;
    bool m_failed = false;
    bool m_openDenied = false;
    bool m_waiting = false;
    bool m_stopRequested = false;
    QEventLoop *m_loop = nullptr;
};
