#pragma once

#include "portchoice.h"
#include "programfile.h"
#include "qmvcomm.h"

#include <QObject>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

class QTimer;

// What the download asks of the person in front of it. The download window answers through its
// message window; a terminal front end can answer on its standard streams.
class DownloadUser
{
public:
    virtual ~DownloadUser() = default;
    // Shows a report (a controller time-out, a file that cannot be read, the final result) and
    // returns once the user has acknowledged it.
    virtual void tell(const QString &message) = 0;
    // The controller is erased: the user may now check the proposed time and the weekday
    // (0 Sunday to 6 Saturday) and answer with DownloadSequence::continueDownload().
    virtual void confirmClock(const QString &time, int weekDayIndex) = 0;
};

// The download, without any window: connects to the controller and erases it, sets its clock
// and weekday once the user has confirmed them, sends the three bell programs from the working
// files and the weekly schedule, and reports whether all of it arrived. Front ends show its
// progress through the signals and end the program on finished().
class DownloadSequence : public QObject
{
    Q_OBJECT
public:
    // The looks of the status text. Bold, once set by a failure, stays for the download's life.
    enum class Look
    {
        Progress,
        Start,
        Failure
    };
    Q_ENUM(Look)

    static constexpr std::chrono::milliseconds connectDelay{500};
    // Rows in a row without an answer after which the controller counts as no longer listening.
    static constexpr int unansweredRowsLimit = 2;

    DownloadSequence(qmvComm &comm, DownloadUser &user, QObject *parent = nullptr);
    ~DownloadSequence() override;

    // Where the programs come from: program 1 to 3, the schedule with program 3. The working
    // files unless set otherwise.
    using ProgramSource = std::function<std::optional<qmv::WorkingProgram>(
        int program, bool withSchedule, QString *why)>;
    void setSource(ProgramSource source);

    // The clock the sequence tells the time by; nullptr restores the system clock. Not owned.
    void setClock(const qmv::Clock *clock);
    QString currentTimeText() const;
    // Today's weekday, 0 for Sunday to 6 for Saturday.
    int todayIndex() const;

    // Reads program 1 and shows it, lists the rows that will not be sent, and connects after
    // half a second. False, with the reason in the status, when program 1 cannot be read.
    bool start();
    // The user has confirmed the clock: sets it, sends the programs and the schedule, and ends
    // with finished(). `typedTime` that is no time at all is replaced by the current time.
    void continueDownload(const QString &typedTime, int weekDayIndex);
    // Starts the connection again, half a second from now.
    void retry();
    // Ends whatever runs at once and closes the port; nothing more is sent.
    void stop();

    // True while the connection or the transfer runs (a wait may be returning).
    bool isBusy() const { return m_running > 0; }

signals:
    void statusChanged(DownloadSequence::Look look, const QString &text);
    void actionsChanged(bool continueEnabled, bool retryEnabled, bool exitEnabled);
    // The bell program now being sent (or, at the start, about to be sent).
    void programShown(int program, const qmv::CellTable &bell);
    // The weekly schedule to be sent; an empty table before it has been read.
    void scheduleShown(const qmv::CellTable &schedule);
    // The row of the program shown that is being sent, from row 0 down.
    void rowSending(int row);
    // The time the controller's clock is set to.
    void clockSent(const QString &time);
    // The port cannot be opened; `present` are the serial ports this PC has, to pick from before
    // a retry.
    void portUnavailable(const QStringList &present);
    // Neither the connection nor the transfer runs any longer.
    void idle();
    // The download is over; the program ends.
    void finished(bool complete);

private:
    struct Transfer
    {
        int rowsSent = 0;
        int rowsUnconfirmed = 0;
        int rowsUnansweredInARow = 0;
        int rowsRefused = 0;
        QStringList rowsNotSent; // rows after a row without a time, by program
        QStringList programsNotSent;
        bool clockConfirmed = false;
        bool scheduleSent = false;
        bool scheduleConfirmed = false;
        bool controllerSilent = false;
        QString portFailure;
        // A wait was ended from outside (the program ending, the window closing).
        bool abandoned = false;
    };

    class Running;

    void ConnectAndErase();
    void doRun();
    void LoadProgram2();
    void LoadProgram3();
    void doCut();
    void SendWeekSchedule();
    void finishDownload();

    // "Program 2: rows 3, 4", or nothing when every row with a time is sent.
    static QString rowsAfterEndText(int program, const qmv::CellTable &bell);
    bool loadProgram(int program);
    bool connectionEnds(int attempt, qmvComm::Outcome outcome);
    void portFailed(const QString &reason);
    // The port failed for `reason`: said so, with RETRY and EXIT offered.
    void showPortFailure(const QString &reason);
    static QString portFailureText(const QString &reason)
    {
        return tr("The serial port %1 failed: %2").arg(qmv::port::chosen(), reason);
    }
    void afterWait(qmvComm::Outcome outcome);
    bool send(const QByteArray &command);
    bool sendRequest(const QByteArray &command, bool &flag);
    bool overtaken(int attempt) const { return attempt != m_attempt; }
    bool transferStopped() const;
    QString incompleteReport() const;
    QString rowsNotSentNote() const;
    void setStatus(Look look, const QString &text);
    void setStatusText(const QString &text);
    void setActions(bool continueEnabled, bool retryEnabled, bool exitEnabled);
    const qmv::Clock &clock() const { return m_clock ? *m_clock : m_systemClock; }

    qmvComm &m_comm;
    DownloadUser &m_user;
    ProgramSource m_source = qmv::readWorkingFile;
    QTimer *m_connectTimer = nullptr;
    const qmv::Clock *m_clock = nullptr;
    qmv::SystemClock m_systemClock;
    Look m_look = Look::Start;
    QString m_status;
    bool m_continueEnabled = false;
    bool m_retryEnabled = false;
    int m_running = 0;
    int m_attempt = 0;
    int m_transferAttempt = -1;
    bool m_transferRan = false;
    int m_program = 1;
    int m_sendRow = 0;
    qmv::CellTable m_bell;
    std::optional<qmv::CellTable> m_schedule;
    QStringList m_rowsNotSentAtStart;
    Transfer m_transfer;
};
