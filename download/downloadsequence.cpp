#include "downloadsequence.h"

#include "rowencoding.h"

#include <QPointer>
#include <QTimer>

// Counts the steps on the stack; idle() tells the front end when the last of them has returned,
// so a window closed under a wait is deleted only then.
class DownloadSequence::Running
{
public:
    explicit Running(DownloadSequence &sequence) : m_sequence(sequence) { ++m_sequence.m_running; }
    ~Running()
    {
        if (--m_sequence.m_running == 0)
            emit m_sequence.idle();
    }
    Running(const Running &) = delete;
    Running &operator=(const Running &) = delete;

private:
    DownloadSequence &m_sequence;
};

DownloadSequence::DownloadSequence(qmvComm &comm, DownloadUser &user, QObject *parent)
    : QObject(parent), m_comm(comm), m_user(user), m_connectTimer(new QTimer(this))
{
    m_connectTimer->setObjectName(QStringLiteral("commMountTimer"));
    m_connectTimer->setSingleShot(true);
    m_connectTimer->setInterval(connectDelay);
    connect(m_connectTimer, &QTimer::timeout, this, [this] {
        // A sequence overtaken by RETRY may still be returning from its wait.
        if (isBusy())
            m_connectTimer->start();
        else
            ConnectAndErase();
    });
    connect(&m_comm, &qmvComm::portFailed, this, &DownloadSequence::portFailed);
    m_comm.showMessage = [sequence = QPointer<DownloadSequence>(this)](const QString &message) {
        if (sequence)
            sequence->m_user.tell(message);
    };
}

DownloadSequence::~DownloadSequence()
{
    stop();
}

void DownloadSequence::setSource(ProgramSource source)
{
    m_source = std::move(source);
}

QString DownloadSequence::rowsAfterEndText(int program, const qmv::CellTable &bell)
{
    const QList<int> rows = qmv::rowsAfterEnd(bell.rows);
    if (rows.isEmpty())
        return {};
    QStringList numbers;
    for (const int row : rows)
        numbers << QString::number(row + 1);
    return tr("Program %1: %2 %3")
        .arg(program)
        .arg(rows.size() == 1 ? tr("row") : tr("rows"), numbers.join(QStringLiteral(", ")));
}

void DownloadSequence::setClock(const qmv::Clock *clock)
{
    m_clock = clock;
}

QString DownloadSequence::currentTimeText() const
{
    return clock().now().time().toString(QStringLiteral("HH:mm"));
}

int DownloadSequence::todayIndex() const
{
    return clock().now().date().dayOfWeek() % 7;
}

bool DownloadSequence::start()
{
    if (!loadProgram(1))
        return false;
    emit scheduleShown({});
    // Read now only to warn: the transfer reads programs 2 and 3 again when it reaches them.
    QStringList notes{rowsAfterEndText(1, m_bell)};
    for (int program = 2; program <= qmv::ProgramCount; ++program) {
        QString why;
        const auto working = m_source(program, program == qmv::ProgramCount, &why);
        if (working)
            notes << rowsAfterEndText(program, working->bell);
    }
    notes.removeAll(QString());
    m_rowsNotSentAtStart = notes;
    if (!notes.isEmpty())
        setStatusText(rowsNotSentNote());
    m_connectTimer->start();
    return true;
}

QString DownloadSequence::rowsNotSentNote() const
{
    return tr("These rows follow a row without a time and will not be sent:\n%1")
        .arg(m_rowsNotSentAtStart.join(QLatin1Char('\n')));
}

void DownloadSequence::ConnectAndErase()
{
    const Running running(*this);
    const int attempt = m_attempt;

    m_comm.SetupPort();
    if (!m_comm.OpenPort()) {
        const QStringList present = qmv::port::present();
        setStatus(Look::Failure,
                  qmv::port::openFailure(m_comm.errorString(), m_comm.openDenied(), present));
        setActions(false, true, true);
        emit portUnavailable(present);
        return;
    }
    setStatus(Look::Start, QStringLiteral("Connecting. . ."));

    qmvComm::Outcome outcome = m_comm.WaitForReady();
    if (connectionEnds(attempt, outcome))
        return;
    if (outcome == qmvComm::Outcome::TimedOut) {
        setStatus(Look::Failure, QStringLiteral("System Not Responding. Check cables and make "
                                                "sure System is Powered On\n"));
        setActions(false, true, true);
        return;
    }
    setStatus(Look::Progress, m_status + QStringLiteral("\nSystem Connected"));

    bool eraseRequestFailed = false;
    outcome = m_comm.StartErase();
    if (connectionEnds(attempt, outcome))
        return;
    if (outcome == qmvComm::Outcome::TimedOut) {
        eraseRequestFailed = true;
        setStatus(Look::Failure, QStringLiteral("System Not Erasing. Check cables and make sure "
                                                "System is Powered On"));
        setActions(false, true, false);
    } else {
        setStatus(Look::Progress, QStringLiteral("Erasing . . ."));
    }

    outcome = m_comm.WaitEraseDone();
    if (connectionEnds(attempt, outcome))
        return;
    if (outcome == qmvComm::Outcome::TimedOut) {
        setStatus(Look::Failure, QStringLiteral("System stuck in Erase cycle."));
        setActions(false, true, false);
        return;
    }
    setStatus(Look::Progress, QStringLiteral("Erased"));
    m_comm.startDecoder();
    QString text = m_status + QStringLiteral("\nCheck Time and WeekDay\nCorrect if necessary and "
                                             "press CONTINUE\n");
    if (!m_rowsNotSentAtStart.isEmpty())
        text += rowsNotSentNote();
    setStatusText(text);
    setActions(true, eraseRequestFailed, false);
    m_user.confirmClock(currentTimeText(), todayIndex());
}

// After a wait of the connection: true when the sequence stops here, because RETRY or closing
// took over, or the port failed (which is then shown).
bool DownloadSequence::connectionEnds(int attempt, qmvComm::Outcome outcome)
{
    if (overtaken(attempt) || outcome == qmvComm::Outcome::Stopped ||
        outcome == qmvComm::Outcome::Busy)
        return true;
    if (outcome != qmvComm::Outcome::PortError)
        return false;
    showPortFailure(m_comm.errorString());
    return true;
}

// The device has gone while nothing waited on it (the user checking the clock): the controller
// cannot be programmed over this connection.
void DownloadSequence::portFailed(const QString &reason)
{
    if (!isBusy())
        showPortFailure(reason);
}

void DownloadSequence::showPortFailure(const QString &reason)
{
    setStatus(Look::Failure, portFailureText(reason));
    setActions(false, true, true);
}

void DownloadSequence::continueDownload(const QString &typedTime, int weekDayIndex)
{
    if (isBusy() || !m_continueEnabled)
        return;
    const Running running(*this);
    const int attempt = m_attempt;
    // A transfer cut short by RETRY has left a later program and the schedule on show.
    if (m_transferRan) {
        if (!loadProgram(1))
            return;
        emit scheduleShown({});
    }
    m_transferRan = true;
    m_transferAttempt = attempt;
    m_transfer = {};

    setActions(false, m_retryEnabled, false);
    setStatusText(QStringLiteral(" Setting Time and Day of Week"));
    // Only a valid 24-hour hh:mm ever reaches the controller's clock.
    const QString time = qmv::clockTextToSend(typedTime, clock().now().time());
    emit clockSent(time);
    if (sendRequest(qmv::timeCommand(time, weekDayIndex), m_comm.flagJ)) {
        const qmvComm::Outcome outcome =
            m_comm.waitForFlag(m_comm.flagJ, QStringLiteral("Time Setting Problems . . ."));
        if (overtaken(attempt) || outcome == qmvComm::Outcome::Stopped ||
            outcome == qmvComm::Outcome::Busy)
            return;
        if (outcome == qmvComm::Outcome::PortError) {
            m_transfer.portFailure = m_comm.errorString();
        } else if (!m_comm.flagJ) {
            // The reply may have come while the message was up.
            m_user.tell(QStringLiteral("ERROR\r\nSWITCH OFF System and retry"));
            m_comm.ClosePort();
            emit finished(false);
            return;
        }
        m_transfer.clockConfirmed = m_comm.flagJ;
    }

    setStatusText(QStringLiteral("Program 1"));
    if (send(QByteArrayLiteral("P1")))
        doRun();
    if (!transferStopped()) {
        setStatusText(QStringLiteral("Program 2"));
        if (send(QByteArrayLiteral("P2")))
            LoadProgram2();
    }
    if (!transferStopped()) {
        setStatusText(QStringLiteral("Program 3"));
        if (send(QByteArrayLiteral("P3")))
            LoadProgram3();
    }
    if (!transferStopped()) {
        setStatusText(QStringLiteral("Weekly Schedule"));
        SendWeekSchedule();
    }
    if (overtaken(attempt) || m_transfer.abandoned)
        return;
    finishDownload();
}

void DownloadSequence::finishDownload()
{
    if (m_transfer.portFailure.isEmpty())
        send(QByteArrayLiteral("F"));
    const bool complete = m_transfer.portFailure.isEmpty() && m_transfer.clockConfirmed &&
                          m_transfer.rowsUnconfirmed == 0 && m_transfer.rowsRefused == 0 &&
                          m_transfer.rowsNotSent.isEmpty() &&
                          m_transfer.programsNotSent.isEmpty() && m_transfer.scheduleConfirmed &&
                          m_comm.unexpectedReplies() == 0;
    m_user.tell(complete ? QStringLiteral("System Programmed") : incompleteReport());
    if (overtaken(m_transferAttempt))
        return;
    m_comm.ClosePort();
    emit finished(complete);
}

QString DownloadSequence::incompleteReport() const
{
    QStringList lines{tr("The download is incomplete.")};
    if (!m_transfer.portFailure.isEmpty())
        lines << portFailureText(m_transfer.portFailure);
    if (m_transfer.controllerSilent)
        lines << tr("The System did not answer %1 bell rows in a row; nothing more was sent.")
                     .arg(unansweredRowsLimit);
    const int rowsMissing = m_transfer.rowsUnconfirmed + m_transfer.rowsRefused;
    if (rowsMissing > 0) {
        QString rows = tr("%1 of %2 bell rows were not confirmed by the System")
                           .arg(rowsMissing)
                           .arg(m_transfer.rowsSent + m_transfer.rowsRefused);
        if (m_transfer.rowsRefused > 0)
            rows +=
                tr(" (%1 not sent because they could not be encoded)").arg(m_transfer.rowsRefused);
        lines << rows + QLatin1Char('.');
    }
    if (!m_transfer.rowsNotSent.isEmpty())
        lines << tr("Not sent, because they follow a row without a time: %1.")
                     .arg(m_transfer.rowsNotSent.join(QStringLiteral("; ")));
    for (const QString &program : m_transfer.programsNotSent)
        lines << tr("%1 was not sent.").arg(program);
    if (!m_transfer.clockConfirmed)
        lines << tr("The time and weekday were not confirmed.");
    if (m_comm.unexpectedReplies() > 0)
        lines << tr("Replies that no command awaited: %1. A later command may count as "
                    "confirmed by one of them.")
                     .arg(m_comm.unexpectedReplies());
    if (!m_transfer.scheduleSent)
        lines << tr("The weekly schedule was not sent.");
    else if (!m_transfer.scheduleConfirmed)
        lines << tr("The weekly schedule was not confirmed.");
    return lines.join(QStringLiteral("\r\n"));
}

void DownloadSequence::retry()
{
    ++m_attempt;
    // A new connection erases the controller again: the clock and programs wait for its end.
    setActions(false, false, false);
    m_comm.ClosePort();
    m_connectTimer->start();
    setStatusText(QString());
}

void DownloadSequence::stop()
{
    ++m_attempt;
    m_connectTimer->stop();
    m_comm.ClosePort();
}

void DownloadSequence::afterWait(qmvComm::Outcome outcome)
{
    if (outcome == qmvComm::Outcome::PortError && m_transfer.portFailure.isEmpty())
        m_transfer.portFailure = m_comm.errorString();
    if (outcome == qmvComm::Outcome::Stopped || outcome == qmvComm::Outcome::Busy)
        m_transfer.abandoned = true;
}

bool DownloadSequence::send(const QByteArray &command)
{
    if (!m_transfer.portFailure.isEmpty())
        return false;
    if (m_comm.sendCommand(command))
        return true;
    m_transfer.portFailure = m_comm.errorString();
    return false;
}

bool DownloadSequence::sendRequest(const QByteArray &command, bool &flag)
{
    if (!m_transfer.portFailure.isEmpty())
        return false;
    if (m_comm.sendRequest(command, flag))
        return true;
    m_transfer.portFailure = m_comm.errorString();
    return false;
}

bool DownloadSequence::transferStopped() const
{
    return overtaken(m_transferAttempt) || m_transfer.abandoned || m_transfer.controllerSilent ||
           !m_transfer.portFailure.isEmpty();
}

void DownloadSequence::setStatus(Look look, const QString &text)
{
    m_look = look;
    setStatusText(text);
}

void DownloadSequence::setStatusText(const QString &text)
{
    m_status = text;
    emit statusChanged(m_look, m_status);
}

void DownloadSequence::setActions(bool continueEnabled, bool retryEnabled, bool exitEnabled)
{
    m_continueEnabled = continueEnabled;
    m_retryEnabled = retryEnabled;
    emit actionsChanged(continueEnabled, retryEnabled, exitEnabled);
}
