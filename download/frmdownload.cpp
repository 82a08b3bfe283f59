#include "frmdownload.h"

#include "lifecycle.h"
#include "msgbox.h"
#include "paths.h"
#include "programfile.h"
#include "rowencoding.h"
#include "twips.h"
#include "widgetstyle.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

namespace {

QPointer<frmDownload> openWindow;
const qmv::Clock *windowClock = nullptr;
const qmv::SystemClock systemClock;

QDateTime windowTime()
{
    return (windowClock ? *windowClock : systemClock).now();
}

const QString Title = QStringLiteral("qmv...");

// Rows tall enough for the font, and few enough that nine of them fit the transfer view: the
// row being sent stays in sight down to the last row of any program.
constexpr int BellRowHeight = 360;
constexpr int ScheduleRowHeight = 285;

void showMessage(const QString &text)
{
    ShowMessageBox(text, Title, 3, 1);
}

QTableWidget *makeGrid(QWidget *parent, const QString &name, int rows, int columns)
{
    auto *grid = new QTableWidget(rows, columns, parent);
    grid->setObjectName(name);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
    grid->setSortingEnabled(false);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    return grid;
}

void fillRow(QTableWidget *grid, int row, const QStringList &cells)
{
    for (int column = 0; column < grid->columnCount(); ++column)
        grid->setItem(row, column, new QTableWidgetItem(cells.value(column)));
}

} // namespace

// Counts the sequences on the stack; a window closed while one runs is deleted when the last
// of them has returned, never under it.
class frmDownload::Running
{
public:
    explicit Running(frmDownload &window) : m_window(window) { ++m_window.m_running; }
    ~Running()
    {
        if (--m_window.m_running == 0 && m_window.m_closed && m_window.m_deleteWhenClosed)
            m_window.deleteLater();
    }
    Running(const Running &) = delete;
    Running &operator=(const Running &) = delete;

private:
    frmDownload &m_window;
};

frmDownload *frmDownload::open()
{
    if (!openWindow) {
        auto *window = new frmDownload;
        window->m_deleteWhenClosed = true;
        window->load();
        openWindow = window;
    }
    openWindow->show();
    openWindow->raise();
    openWindow->activateWindow();
    return openWindow;
}

void frmDownload::setClock(const qmv::Clock *clock)
{
    windowClock = clock;
    qmvComm::instance().setClock(clock);
}

frmDownload::frmDownload(QWidget *parent) : QWidget(parent), m_comm(qmvComm::instance())
{
    buildLayout();
    m_comm.showMessage = showMessage;
    connect(&qmv::Lifecycle::instance(), &qmv::Lifecycle::aboutToEnd, &m_comm, &qmvComm::ClosePort,
            Qt::UniqueConnection);
}

frmDownload::~frmDownload()
{
    // A window closed earlier gave the port up then; a newer window may be using it by now.
    if (!m_closed)
        m_comm.ClosePort();
}

void frmDownload::buildLayout()
{
    setObjectName(QStringLiteral("frmDownload"));
    setWindowTitle(QStringLiteral("Tavrel Systems - Download"));
    setFixedSize(qmv::tw(11910), qmv::tw(8625));
    qmv::setColour(this, QPalette::Window, QColor(0, 192, 192));

    lblPgmNo = new QLabel(QStringLiteral("Program: "), this);
    lblPgmNo->setObjectName(QStringLiteral("lblPgmNo"));
    lblPgmNo->setGeometry(qmv::twRect(840, 240, 1215, 255));
    qmv::setColour(lblPgmNo, QPalette::Window, Qt::white);

    MSFlexGrid1 =
        makeGrid(this, QStringLiteral("MSFlexGrid1"), qmv::DefaultBellRows, qmv::BellColumns);
    MSFlexGrid1->setGeometry(qmv::twRect(1800, 960, 4485, 3855));
    MSFlexGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    MSFlexGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    MSFlexGrid1->verticalHeader()->setMinimumSectionSize(qmv::tw(BellRowHeight));
    MSFlexGrid1->verticalHeader()->setDefaultSectionSize(qmv::tw(BellRowHeight));
    QPalette gridPalette = MSFlexGrid1->palette();
    gridPalette.setColor(QPalette::Base, QColor(192, 255, 255));
    // The selected row is the only sign of the row being sent, and a message window on top
    // takes the activation: keep the active colours.
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        gridPalette.setColor(QPalette::Inactive, role, gridPalette.color(QPalette::Active, role));
    MSFlexGrid1->setPalette(gridPalette);

    const int statusLefts[] = {1320, 1320, 1320, 1320, 1320, 360, 360, 360};
    const int statusTops[] = {960, 1200, 1440, 1680, 1920, 720, 1080, 1560};
    for (int i = 0; i < int(imgRunStatus.size()); ++i) {
        imgRunStatus[i] = new QLabel(this);
        imgRunStatus[i]->setObjectName(QStringLiteral("imgRunStatus_%1").arg(i));
        imgRunStatus[i]->setGeometry(qmv::twRect(statusLefts[i], statusTops[i], 195, 255));
    }

    imgSystemImage = new QLabel(this);
    imgSystemImage->setObjectName(QStringLiteral("imgSystemImage"));
    imgSystemImage->setGeometry(qmv::twRect(7320, 240, 4335, 6495));
    imgSystemImage->setAlignment(Qt::AlignCenter);

    MSFlexGrid2 =
        makeGrid(this, QStringLiteral("MSFlexGrid2"), qmv::ScheduleRows, qmv::ScheduleColumns);
    MSFlexGrid2->setGeometry(qmv::twRect(1440, 5160, 5415, 615));
    MSFlexGrid2->setSelectionMode(QAbstractItemView::NoSelection);
    MSFlexGrid2->setFocusPolicy(Qt::NoFocus);
    MSFlexGrid2->verticalHeader()->setMinimumSectionSize(qmv::tw(ScheduleRowHeight));
    MSFlexGrid2->verticalHeader()->setDefaultSectionSize(qmv::tw(ScheduleRowHeight));
    MSFlexGrid2->horizontalHeader()->setDefaultSectionSize(qmv::tw(765));
    MSFlexGrid2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MSFlexGrid2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    lblTime = new QLabel(QStringLiteral("Time:"), this);
    lblTime->setObjectName(QStringLiteral("lblTime"));
    lblTime->setGeometry(qmv::twRect(240, 6360, 735, 375));

    txtTime = new QLineEdit(this);
    txtTime->setObjectName(QStringLiteral("txtTime"));
    txtTime->setGeometry(qmv::twRect(1080, 6360, 975, 375));

    Label1 = new QLabel(QStringLiteral("Week Day"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(qmv::twRect(2400, 6360, 1335, 375));

    comboWkDay = new QComboBox(this);
    comboWkDay->setObjectName(QStringLiteral("comboWkDay"));
    comboWkDay->setGeometry(qmv::twRect(3720, 6360, 1695, 375));
    comboWkDay->addItems({QStringLiteral("Sunday"), QStringLiteral("Monday"),
                          QStringLiteral("Tuesday"), QStringLiteral("Wednesday"),
                          QStringLiteral("Thursday"), QStringLiteral("Friday"),
                          QStringLiteral("Saturday")});
    connect(comboWkDay, &QComboBox::currentIndexChanged, this,
            [this](int index) { weekDayIndex = index; });

    cmdContinue = new QPushButton(QStringLiteral("CONTINUE"), this);
    cmdContinue->setObjectName(QStringLiteral("cmdContinue"));
    cmdContinue->setGeometry(qmv::twRect(5640, 6360, 1455, 375));
    cmdContinue->setEnabled(false);
    connect(cmdContinue, &QPushButton::clicked, this, &frmDownload::continueClicked);

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(qmv::twRect(240, 6960, 6975, 1455));
    Text1->setReadOnly(true);

    cmdRetry = new QPushButton(QStringLiteral("RETRY"), this);
    cmdRetry->setObjectName(QStringLiteral("cmdRetry"));
    cmdRetry->setGeometry(qmv::twRect(10440, 7440, 1215, 375));
    cmdRetry->setEnabled(false);
    connect(cmdRetry, &QPushButton::clicked, this, &frmDownload::retryClicked);

    cmdExit = new QPushButton(QStringLiteral("EXIT"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setGeometry(qmv::twRect(10440, 8040, 1215, 375));
    cmdExit->setEnabled(false);
    connect(cmdExit, &QPushButton::clicked, this, &frmDownload::exitClicked);

    commMountTimer.setObjectName(QStringLiteral("commMountTimer"));
    commMountTimer.setSingleShot(true);
    commMountTimer.setInterval(connectDelay);
    connect(&commMountTimer, &QTimer::timeout, this, [this] {
        // A sequence overtaken by RETRY may still be returning from its wait.
        if (isBusy()) {
            commMountTimer.start();
            return;
        }
        ConnectAndErase();
    });
}

void frmDownload::load()
{
    if (m_loaded)
        return;
    m_loaded = true;

    const QPixmap picture(qmv::paths::vendorPicture(QStringLiteral("systemImage.jpg")));
    if (!picture.isNull())
        imgSystemImage->setPixmap(
            picture.scaled(imgSystemImage->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

    const int widths[] = {700, 500, 700, 400, 500, 700, 400, 500};
    for (int column = 0; column < qmv::BellColumns; ++column)
        MSFlexGrid1->setColumnWidth(column, qmv::tw(widths[column]));
    qmv::setPointSize(MSFlexGrid1, 10);
    MSFlexGrid1->resize(qmv::tw(4650), qmv::tw(3400));

    qmv::setPointSize(txtTime, 12);
    txtTime->setText(currentTimeText());
    weekDayIndex = windowTime().date().dayOfWeek() % 7;
    comboWkDay->setCurrentIndex(weekDayIndex);

    lblPgmNo->move(MSFlexGrid1->x(), MSFlexGrid1->y() - qmv::tw(500));
    setProgramNumber(1);
    if (!showProgram1())
        return;
    commMountTimer.start();
}

void frmDownload::ConnectAndErase()
{
    const Running running(*this);
    const int attempt = m_attempt;

    m_comm.SetupPort();
    if (!m_comm.OpenPort()) {
        failedPort(tr("The serial port %1 cannot be opened: %2"));
        return;
    }
    setStatus(Look::Start, QStringLiteral("Connecting. . ."));

    qmvComm::Outcome outcome = m_comm.WaitForReady();
    if (connectionEnds(attempt, outcome))
        return;
    if (outcome == qmvComm::Outcome::TimedOut) {
        setStatus(Look::Failure, QStringLiteral("System Not Responding. Check cables and make "
                                                "sure System is Powered On\n"));
        cmdRetry->setEnabled(true);
        cmdExit->setEnabled(true);
        return;
    }
    setLook(Look::Progress);
    setStatusText(Text1->toPlainText() + QStringLiteral("\nSystem Connected"));

    outcome = m_comm.StartErase();
    if (connectionEnds(attempt, outcome))
        return;
    if (outcome == qmvComm::Outcome::TimedOut) {
        // The erase may still finish: its wait goes on below, and RETRY may start afresh.
        setStatus(Look::Failure, QStringLiteral("System Not Erasing. Check cables and make sure "
                                                "System is Powered On"));
        cmdRetry->setEnabled(true);
    } else {
        setStatus(Look::Progress, QStringLiteral("Erasing . . ."));
    }

    outcome = m_comm.WaitEraseDone();
    if (connectionEnds(attempt, outcome))
        return;
    if (outcome == qmvComm::Outcome::TimedOut) {
        setStatus(Look::Failure, QStringLiteral("System stuck in Erase cycle."));
        cmdRetry->setEnabled(true);
        return;
    }
    setStatus(Look::Progress, QStringLiteral("Erased"));
    m_comm.startDecoder();
    txtTime->setText(currentTimeText());
    setStatusText(Text1->toPlainText() +
                  QStringLiteral("\nCheck Time and WeekDay\nCorrect if necessary and press "
                                 "CONTINUE\n"));
    cmdContinue->setEnabled(true);
}

// After a wait of the connection: true when the sequence stops here, because RETRY or closing
// took over, or the port failed (which is then shown).
bool frmDownload::connectionEnds(int attempt, qmvComm::Outcome outcome)
{
    if (overtaken(attempt) || outcome == qmvComm::Outcome::Stopped ||
        outcome == qmvComm::Outcome::Busy)
        return true;
    if (outcome != qmvComm::Outcome::PortError)
        return false;
    failedPort(tr("The serial port %1 failed: %2"));
    return true;
}

void frmDownload::continueClicked()
{
    if (isBusy() || !cmdContinue->isEnabled())
        return;
    const Running running(*this);
    const int attempt = m_attempt;
    // A transfer cut short by RETRY has left a later program and the schedule in the grids.
    if (m_transferRan && !showProgram1())
        return;
    m_transferRan = true;
    m_transferAttempt = attempt;
    m_transfer = {};

    cmdContinue->setEnabled(false);
    setStatusText(QStringLiteral(" Setting Time and Day of Week"));
    m_comm.flagJ = false;
    // Only a valid 24-hour hh:mm ever reaches the controller's clock.
    const QString time = qmv::clockTextToSend(txtTime->text(), windowTime().time());
    txtTime->setText(time);
    if (send(qmv::timeCommand(time, weekDayIndex))) {
        const qmvComm::Outcome outcome =
            m_comm.waitForFlag(m_comm.flagJ, QStringLiteral("Time Setting Problems . . ."));
        if (overtaken(attempt) || outcome == qmvComm::Outcome::Stopped ||
            outcome == qmvComm::Outcome::Busy)
            return;
        if (outcome == qmvComm::Outcome::PortError) {
            m_transfer.portFailure = m_comm.errorString();
        } else if (!m_comm.flagJ) {
            // The reply may have come while the message was up.
            showMessage(QStringLiteral("ERROR\r\nSWITCH OFF System and retry"));
            m_comm.ClosePort();
            qmv::endProgram();
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

void frmDownload::finishDownload()
{
    if (m_transfer.portFailure.isEmpty())
        send(QByteArrayLiteral("F"));
    const bool complete = m_transfer.portFailure.isEmpty() && m_transfer.clockConfirmed &&
                          m_transfer.rowsUnconfirmed == 0 && m_transfer.rowsRefused == 0 &&
                          m_transfer.programsNotSent.isEmpty() && m_transfer.scheduleConfirmed;
    showMessage(complete ? QStringLiteral("System Programmed") : incompleteReport());
    if (overtaken(m_transferAttempt))
        return;
    m_comm.ClosePort();
    qmv::endProgram();
}

QString frmDownload::incompleteReport() const
{
    QStringList lines{tr("The download is incomplete.")};
    if (!m_transfer.portFailure.isEmpty())
        lines << tr("The serial port %1 failed: %2")
                     .arg(qmv::serialPortName(), m_transfer.portFailure);
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
    for (const QString &program : m_transfer.programsNotSent)
        lines << tr("%1 was not sent.").arg(program);
    if (!m_transfer.clockConfirmed)
        lines << tr("The time and weekday were not confirmed.");
    if (!m_transfer.scheduleSent)
        lines << tr("The weekly schedule was not sent.");
    else if (!m_transfer.scheduleConfirmed)
        lines << tr("The weekly schedule was not confirmed.");
    return lines.join(QStringLiteral("\r\n"));
}

void frmDownload::retryClicked()
{
    ++m_attempt;
    cmdRetry->setEnabled(false);
    cmdExit->setEnabled(false);
    // A new connection erases the controller again: the clock and programs wait for its end.
    cmdContinue->setEnabled(false);
    m_comm.ClosePort();
    commMountTimer.start();
    Text1->clear();
}

void frmDownload::exitClicked()
{
    ++m_attempt;
    m_comm.ClosePort();
    qmv::endProgram();
}

void frmDownload::closeEvent(QCloseEvent *event)
{
    ++m_attempt;
    m_closed = true;
    commMountTimer.stop();
    m_comm.ClosePort();
    if (openWindow == this)
        openWindow.clear();
    event->accept();
    if (!isBusy() && m_deleteWhenClosed)
        deleteLater();
}

void frmDownload::doRun()
{
    m_program = 1;
    ResetTransferView();
    doCut();
}

void frmDownload::LoadProgram2()
{
    loadAndSend(2);
}

void frmDownload::LoadProgram3()
{
    loadAndSend(3);
}

// Programs 2 and 3 come from their working files only when the transfer reaches them.
void frmDownload::loadAndSend(int program)
{
    m_program = program;
    if (!loadWorkingProgram(program))
        return;
    setProgramNumber(program);
    MSFlexGrid1->setCurrentCell(0, 0);
    ResetTransferView();
    doCut();
}

void frmDownload::setProgramNumber(int program)
{
    lblPgmNo->setText(QStringLiteral("Program No: %1").arg(program));
    // The label's width in twips was meant for another font: never cut the number off.
    lblPgmNo->resize(std::max(qmv::tw(1215), lblPgmNo->sizeHint().width()), lblPgmNo->height());
}

bool frmDownload::loadWorkingProgram(int program)
{
    const bool withSchedule = program == qmv::ProgramCount;
    QString why;
    const auto working = qmv::readWorkingFile(program, withSchedule, &why);
    if (!working) {
        const QString what = withSchedule ? tr("Program %1 and the weekly schedule").arg(program)
                                          : tr("Program %1").arg(program);
        m_transfer.programsNotSent << what;
        showMessage(tr("%1 cannot be read and will not be sent.\r\n%2").arg(what, why));
        return false;
    }
    showProgram(working->bell);
    if (withSchedule) {
        MSFlexGrid2->setCurrentCell(0, 0);
        for (int row = 0; row < qmv::ScheduleRows; ++row)
            fillRow(MSFlexGrid2, row, working->schedule->rows.value(row));
        m_scheduleLoaded = true;
    }
    return true;
}

// Program 1 as the editor last wrote it, from its first row, and no schedule yet.
bool frmDownload::showProgram1()
{
    QString why;
    const auto program1 = qmv::readWorkingFile(1, false, &why);
    if (!program1) {
        // Nothing may reach the controller: its erase would leave it without a timetable.
        setStatus(Look::Failure,
                  tr("Program 1 cannot be read, nothing is sent to the System.\n%1").arg(why));
        cmdExit->setEnabled(true);
        return false;
    }
    showProgram(program1->bell);
    setProgramNumber(1);
    MSFlexGrid1->setCurrentCell(0, 0);
    MSFlexGrid2->clearContents();
    m_scheduleLoaded = false;
    return true;
}

void frmDownload::showProgram(const qmv::CellTable &bell)
{
    MSFlexGrid1->clearContents();
    MSFlexGrid1->setRowCount(bell.rowCount());
    for (int row = 0; row < bell.rowCount(); ++row)
        fillRow(MSFlexGrid1, row, bell.rows.at(row));
}

QStringList frmDownload::rowCells(int row) const
{
    QStringList cells;
    for (int column = 0; column < MSFlexGrid1->columnCount(); ++column) {
        const QTableWidgetItem *item = MSFlexGrid1->item(row, column);
        cells << (item ? item->text() : QString());
    }
    return cells;
}

void frmDownload::ResetTransferView()
{
    sendRow = std::max(0, MSFlexGrid1->currentRow());
    MSFlexGrid1->setCurrentCell(0, 0);
    qmv::setPointSize(MSFlexGrid1, 10);
    MSFlexGrid1->resize(MSFlexGrid1->width(), qmv::tw(3600));
    MSFlexGrid1->verticalScrollBar()->setValue(0);
    const QScrollBar *bar = MSFlexGrid1->verticalScrollBar();
    for (int row = sendRow; row <= sendRow + 3 && row < MSFlexGrid1->rowCount(); ++row) {
        while (!rowVisible(row) && bar->value() < bar->maximum())
            advanceTopRow();
    }
    for (QLabel *image : imgRunStatus) {
        image->clear();
        image->setToolTip(QString());
    }
}

void frmDownload::doCut()
{
    const int rows = MSFlexGrid1->rowCount();
    for (; sendRow < rows; ++sendRow) {
        MSFlexGrid1->setCurrentCell(sendRow, 0);
        const qmv::BellRowEncoding row = qmv::encodeBellRow(rowCells(sendRow));
        if (row.outcome == qmv::BellRowEncoding::EndOfProgram)
            return;
        // The row being sent keeps its place on the screen; the first and last rows do not
        // scroll.
        if (sendRow >= 5 && sendRow < rows - 4)
            advanceTopRow();
        if (row.outcome == qmv::BellRowEncoding::Refused) {
            ++m_transfer.rowsRefused;
            showMessage(tr("Program %1, row %2 is not sent: %3.")
                            .arg(m_program)
                            .arg(sendRow + 1)
                            .arg(row.reason));
            if (transferStopped())
                return;
            continue;
        }
        // Only this row's reply may confirm it, not one that came late for an earlier row.
        m_comm.flagH = false;
        if (!send(row.command))
            return;
        ++m_transfer.rowsSent;
        emit rowSent(m_program, sendRow);
        const qmvComm::Outcome outcome =
            m_comm.waitForFlag(m_comm.flagH, QStringLiteral("Prog Setting Problems . . ."));
        if (outcome == qmvComm::Outcome::PortError && m_transfer.portFailure.isEmpty())
            m_transfer.portFailure = m_comm.errorString();
        if (outcome == qmvComm::Outcome::Stopped || outcome == qmvComm::Outcome::Busy)
            m_transfer.abandoned = true;
        if (transferStopped())
            return;
        if (!m_comm.flagH)
            ++m_transfer.rowsUnconfirmed;
        m_comm.flagH = false;
    }
}

void frmDownload::SendWeekSchedule()
{
    if (!m_scheduleLoaded)
        return;
    QByteArray rows[qmv::ScheduleRows];
    for (int row = 0; row < qmv::ScheduleRows; ++row) {
        QStringList cells;
        for (int column = 0; column < qmv::ScheduleColumns; ++column) {
            const QTableWidgetItem *item = MSFlexGrid2->item(row, column);
            cells << (item ? item->text() : QString());
        }
        QString why;
        const auto command = qmv::scheduleRowCommand(cells, row, &why);
        if (!command) {
            // Half a schedule would leave the controller with days that ring no program.
            showMessage(tr("The weekly schedule is not sent: %1.").arg(why));
            return;
        }
        rows[row] = *command;
    }
    m_comm.flagL = false;
    if (!send(QByteArrayLiteral("W")) || !send(rows[0]) || !send(rows[1]))
        return;
    m_transfer.scheduleSent = true;
    const qmvComm::Outcome outcome =
        m_comm.waitForFlag(m_comm.flagL, QStringLiteral("Week Schedule Setting Problems . . ."));
    if (outcome == qmvComm::Outcome::PortError && m_transfer.portFailure.isEmpty())
        m_transfer.portFailure = m_comm.errorString();
    if (outcome == qmvComm::Outcome::Stopped || outcome == qmvComm::Outcome::Busy)
        m_transfer.abandoned = true;
    m_transfer.scheduleConfirmed = outcome == qmvComm::Outcome::Ok || m_comm.flagL;
}

bool frmDownload::send(const QByteArray &command)
{
    if (!m_transfer.portFailure.isEmpty())
        return false;
    if (m_comm.sendCommand(command))
        return true;
    m_transfer.portFailure = m_comm.errorString();
    return false;
}

bool frmDownload::overtaken(int attempt) const
{
    return attempt != m_attempt || qmv::isEnding();
}

bool frmDownload::transferStopped() const
{
    return overtaken(m_transferAttempt) || m_transfer.abandoned ||
           !m_transfer.portFailure.isEmpty();
}

void frmDownload::setStatus(Look look, const QString &text)
{
    setLook(look);
    setStatusText(text);
}

void frmDownload::setStatusText(const QString &text)
{
    Text1->setPlainText(text);
}

void frmDownload::setLook(Look look)
{
    m_look = look;
    QFont font = Text1->font();
    font.setPointSize(look == Look::Failure ? 12 : 16);
    if (look == Look::Failure)
        font.setBold(true);
    Text1->setFont(font);
    QPalette palette = Text1->palette();
    const QColor colour = look == Look::Progress  ? QColor(0, 0, 255)
                          : look == Look::Failure ? QColor(255, 0, 0)
                                                  : QColor(0, 0, 0);
    palette.setColor(QPalette::Text, colour);
    Text1->setPalette(palette);
}

void frmDownload::failedPort(const QString &format)
{
    setStatus(Look::Failure, format.arg(qmv::serialPortName(), m_comm.errorString()));
    cmdRetry->setEnabled(true);
    cmdExit->setEnabled(true);
}

bool frmDownload::rowVisible(int row) const
{
    const int top = MSFlexGrid1->rowViewportPosition(row);
    return top >= 0 && top + MSFlexGrid1->rowHeight(row) <= MSFlexGrid1->viewport()->height();
}

void frmDownload::advanceTopRow()
{
    QScrollBar *bar = MSFlexGrid1->verticalScrollBar();
    bar->setValue(bar->value() + 1);
}

QString frmDownload::currentTimeText() const
{
    return windowTime().time().toString(QStringLiteral("HH:mm"));
}
