// The transfer: program 1 as loaded at the start, programs 2 and 3 and the schedule as the
// transfer reaches them, each row answered before the next.
#include "downloadsequence.h"

#include "rowencoding.h"

void DownloadSequence::doRun()
{
    m_program = 1;
    doCut();
}

void DownloadSequence::LoadProgram2()
{
    if (loadProgram(2))
        doCut();
}

void DownloadSequence::LoadProgram3()
{
    if (loadProgram(3))
        doCut();
}

// Programs 2 and 3 are read from their working files only when the transfer reaches them: the
// editor may have written them since the download began.
bool DownloadSequence::loadProgram(int program)
{
    m_program = program;
    const bool withSchedule = program == qmv::ProgramCount;
    QString why;
    const auto working = m_source(program, withSchedule, &why);
    if (!working) {
        if (program == 1) {
            // Nothing may reach the controller: its erase would leave it without a timetable.
            setStatus(Look::Failure,
                      tr("Program 1 cannot be read, nothing is sent to the System.\n%1").arg(why));
            setActions(false, false, true);
            return false;
        }
        const QString what = withSchedule ? tr("Program %1 and the weekly schedule").arg(program)
                                          : tr("Program %1").arg(program);
        m_transfer.programsNotSent << what;
        m_user.tell(tr("%1 cannot be read and will not be sent.\r\n%2").arg(what, why));
        return false;
    }
    m_bell = working->bell;
    m_schedule = working->schedule;
    emit programShown(program, m_bell);
    if (m_schedule)
        emit scheduleShown(*m_schedule);
    // Every program starts at its first row, whatever the screen shows.
    m_sendRow = 0;
    return true;
}

void DownloadSequence::doCut()
{
    const QString skipped = rowsAfterEndText(m_program, m_bell);
    if (!skipped.isEmpty())
        m_transfer.rowsNotSent << skipped;
    const int rows = m_bell.rowCount();
    for (; m_sendRow < rows; ++m_sendRow) {
        const qmv::BellRowEncoding row = qmv::encodeBellRow(m_bell.rows.at(m_sendRow));
        if (row.outcome == qmv::BellRowEncoding::EndOfProgram)
            return;
        emit rowSending(m_sendRow);
        if (row.outcome == qmv::BellRowEncoding::Refused) {
            ++m_transfer.rowsRefused;
            m_user.tell(tr("Program %1, row %2 is not sent: %3.")
                            .arg(m_program)
                            .arg(m_sendRow + 1)
                            .arg(row.reason));
            if (transferStopped())
                return;
            continue;
        }
        if (!sendRequest(row.command, m_comm.flagH))
            return;
        ++m_transfer.rowsSent;
        afterWait(m_comm.waitForFlag(m_comm.flagH, QStringLiteral("Prog Setting Problems . . .")));
        if (transferStopped())
            return;
        if (m_comm.flagH) {
            m_transfer.rowsUnansweredInARow = 0;
        } else {
            ++m_transfer.rowsUnconfirmed;
            // Each further row would cost the user another half minute and another message.
            if (++m_transfer.rowsUnansweredInARow >= unansweredRowsLimit) {
                m_transfer.controllerSilent = true;
                return;
            }
        }
        m_comm.flagH = false;
    }
}

void DownloadSequence::SendWeekSchedule()
{
    if (!m_schedule)
        return;
    QByteArray rows[qmv::ScheduleRows];
    for (int row = 0; row < qmv::ScheduleRows; ++row) {
        QString why;
        const auto command = qmv::scheduleRowCommand(m_schedule->rows.value(row), row, &why);
        if (!command) {
            // Half a schedule would leave the controller with days that ring no program.
            m_user.tell(tr("The weekly schedule is not sent: %1.").arg(why));
            return;
        }
        rows[row] = *command;
    }
    if (!sendRequest(QByteArrayLiteral("W"), m_comm.flagL) || !send(rows[0]) || !send(rows[1]))
        return;
    m_transfer.scheduleSent = true;
    const qmvComm::Outcome outcome =
        m_comm.waitForFlag(m_comm.flagL, QStringLiteral("Week Schedule Setting Problems . . ."));
    afterWait(outcome);
    m_transfer.scheduleConfirmed = outcome == qmvComm::Outcome::Ok || m_comm.flagL;
}
