#include "frmdownload.h"

#include "cellgrid.h"
#include "lifecycle.h"
#include "msgbox.h"
#include "paths.h"
#include "portchoice.h"
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
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>

namespace {

QPointer<frmDownload> openWindow;
const qmv::Clock *windowClock = nullptr;

const QString Title = QStringLiteral("qmv...");

// Rows tall enough for the font, and few enough that nine of them fit the transfer view: the
// row being sent stays in sight down to the last row of any program.
constexpr int BellRowHeight = 360;
constexpr int ScheduleRowHeight = 285;

// Eats the clicks and keys that would select in a grid or move its current cell.
class ShowOnly : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            return true;
        default:
            return false;
        }
    }
};

// The grids only show what is sent: the user can neither select in them nor move their current
// cell, so no pick on the screen changes where a transfer starts.
void showOnly(CellGrid *grid)
{
    grid->setFocusPolicy(Qt::NoFocus);
    auto *filter = new ShowOnly(grid);
    grid->installEventFilter(filter);
    grid->viewport()->installEventFilter(filter);
    grid->setAutoScroll(false);
}

} // namespace

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

frmDownload::frmDownload(QWidget *parent)
    : QWidget(parent), m_sequence(new DownloadSequence(qmvComm::instance(), *this, this))
{
    m_sequence->setClock(windowClock);
    buildLayout();
    connectSequence();
}

frmDownload::~frmDownload()
{
    // A window closed earlier gave the port up then; a newer window may be using it by now.
    if (!m_closed)
        m_sequence->stop();
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

    buildGrids();

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
    connect(cmdContinue, &QPushButton::clicked, this, [this] {
        m_typedTime = txtTime->text();
        m_sequence->continueDownload(m_typedTime, weekDayIndex);
    });

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(qmv::twRect(240, 6960, 6975, 1455));
    Text1->setReadOnly(true);

    cmdRetry = new QPushButton(QStringLiteral("RETRY"), this);
    cmdRetry->setObjectName(QStringLiteral("cmdRetry"));
    cmdRetry->setGeometry(qmv::twRect(10440, 7440, 1215, 375));
    cmdRetry->setEnabled(false);
    connect(cmdRetry, &QPushButton::clicked, this, [this] {
        usePickedPort();
        m_clockNote.clear();
        m_sequence->retry();
    });

    // Shown only once the port cannot be opened, where the window has room to spare: the serial
    // ports this PC has, or a device typed in, for the retry and for later runs.
    lblPort = new QLabel(tr("Serial port:"), this);
    lblPort->setObjectName(QStringLiteral("lblPort"));
    lblPort->setGeometry(qmv::twRect(7320, 6960, 1200, 375));
    cboPort = new QComboBox(this);
    cboPort->setObjectName(QStringLiteral("cboPort"));
    cboPort->setGeometry(qmv::twRect(8520, 6960, 3135, 375));
    cboPort->setEditable(true);
    cboPort->setInsertPolicy(QComboBox::NoInsert);
    lblPort->hide();
    cboPort->hide();

    cmdExit = new QPushButton(QStringLiteral("EXIT"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setGeometry(qmv::twRect(10440, 8040, 1215, 375));
    cmdExit->setEnabled(false);
    connect(cmdExit, &QPushButton::clicked, this, [this] {
        m_sequence->stop();
        qmv::endProgram();
    });
}

void frmDownload::buildGrids()
{
    MSFlexGrid1 = new CellGrid(qmv::DefaultBellRows, qmv::BellColumns, this);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->setGeometry(qmv::twRect(1800, 960, 4485, 3855));
    MSFlexGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    MSFlexGrid1->verticalHeader()->setDefaultSectionSize(qmv::tw(BellRowHeight));
    // The selected row is the only sign of the row being sent, also under a message window.
    MSFlexGrid1->setColours(QColor(192, 255, 255), Qt::gray, QColor(192, 255, 255));
    showOnly(MSFlexGrid1);

    MSFlexGrid2 = new CellGrid(qmv::ScheduleRows, qmv::ScheduleColumns, this);
    MSFlexGrid2->setObjectName(QStringLiteral("MSFlexGrid2"));
    MSFlexGrid2->setGeometry(qmv::twRect(1440, 5160, 5415, 615));
    MSFlexGrid2->setSelectionMode(QAbstractItemView::NoSelection);
    MSFlexGrid2->verticalHeader()->setDefaultSectionSize(qmv::tw(ScheduleRowHeight));
    MSFlexGrid2->horizontalHeader()->setDefaultSectionSize(qmv::tw(765));
    MSFlexGrid2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MSFlexGrid2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    showOnly(MSFlexGrid2);
}

void frmDownload::connectSequence()
{
    connect(m_sequence, &DownloadSequence::statusChanged, this, &frmDownload::showStatus);
    connect(m_sequence, &DownloadSequence::actionsChanged, this,
            [this](bool continueEnabled, bool retryEnabled, bool exitEnabled) {
                cmdContinue->setEnabled(continueEnabled);
                cmdRetry->setEnabled(retryEnabled);
                cmdExit->setEnabled(exitEnabled);
            });
    connect(m_sequence, &DownloadSequence::programShown, this, &frmDownload::showProgram);
    connect(m_sequence, &DownloadSequence::scheduleShown, this,
            [this](const qmv::CellTable &schedule) {
                if (schedule.rowCount() == qmv::ScheduleRows)
                    MSFlexGrid2->setContents(schedule);
                else
                    MSFlexGrid2->clearContents();
            });
    connect(m_sequence, &DownloadSequence::rowSending, this, &frmDownload::showRowSending);
    connect(m_sequence, &DownloadSequence::clockSent, this, &frmDownload::showClockSent);
    connect(m_sequence, &DownloadSequence::portUnavailable, this, &frmDownload::offerPorts);
    connect(m_sequence, &DownloadSequence::finished, this, [] { qmv::endProgram(); });
    connect(m_sequence, &DownloadSequence::idle, this, &frmDownload::deleteWhenIdle);
    connect(&qmv::Lifecycle::instance(), &qmv::Lifecycle::aboutToEnd, m_sequence,
            &DownloadSequence::stop);
}

void frmDownload::load()
{
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
    txtTime->setText(m_sequence->currentTimeText());
    comboWkDay->setCurrentIndex(m_sequence->todayIndex());

    lblPgmNo->move(MSFlexGrid1->x(), MSFlexGrid1->y() - qmv::tw(500));
    m_sequence->start();
}

void frmDownload::tell(const QString &message)
{
    ShowMessageBox(message, Title, msgbox::OkOnly, msgbox::ControllerIcon);
}

// The weekday the user may have chosen before the erase ended stays chosen.
void frmDownload::confirmClock(const QString &time, int)
{
    txtTime->setText(time);
}

void frmDownload::showStatus(DownloadSequence::Look look, const QString &text)
{
    QFont font = Text1->font();
    font.setPointSize(look == DownloadSequence::Look::Failure ? 12 : 16);
    // Bold, once set by a failure, is never switched off again.
    if (look == DownloadSequence::Look::Failure)
        font.setBold(true);
    Text1->setFont(font);
    QPalette palette = Text1->palette();
    const QColor colour = look == DownloadSequence::Look::Progress  ? QColor(0, 0, 255)
                          : look == DownloadSequence::Look::Failure ? QColor(255, 0, 0)
                                                                    : QColor(0, 0, 0);
    palette.setColor(QPalette::Text, colour);
    Text1->setPalette(palette);
    Text1->setPlainText(m_clockNote.isEmpty() ? text : text + QLatin1Char('\n') + m_clockNote);
}

// A typed time that is no time is replaced by the PC's: the status keeps saying so for the rest
// of the download, since the time box shows only the result.
void frmDownload::showClockSent(const QString &time)
{
    txtTime->setText(time);
    const bool typedIsTime = !qmv::clockTextToSend(m_typedTime, QTime()).isEmpty();
    m_clockNote = typedIsTime ? QString()
                              : tr("\"%1\" is not a time: the clock is set to %2, the PC's time.")
                                    .arg(m_typedTime.trimmed(), time);
    if (!m_clockNote.isEmpty())
        Text1->appendPlainText(m_clockNote);
}

void frmDownload::showProgram(int program, const qmv::CellTable &bell)
{
    MSFlexGrid1->setContents(bell);
    lblPgmNo->setText(QStringLiteral("Program No: %1").arg(program));
    // The label's width in twips was meant for another font: never cut the number off.
    lblPgmNo->resize(std::max(qmv::tw(1215), lblPgmNo->sizeHint().width()), lblPgmNo->height());
    ResetTransferView();
}

void frmDownload::ResetTransferView()
{
    MSFlexGrid1->clearSelection();
    qmv::setPointSize(MSFlexGrid1, 10);
    MSFlexGrid1->resize(MSFlexGrid1->width(), qmv::tw(3600));
    MSFlexGrid1->verticalScrollBar()->setValue(0);
    for (QLabel *image : imgRunStatus) {
        image->clear();
        image->setToolTip(QString());
    }
}

void frmDownload::showRowSending(int row)
{
    // The row being sent keeps its place on the screen; the first and last rows do not scroll.
    if (row >= 5 && row < MSFlexGrid1->rowCount() - 4)
        advanceTopRow();
    MSFlexGrid1->setCurrentCell(row, 0);
    MSFlexGrid1->selectRow(row);
    while (!rowVisible(row) &&
           MSFlexGrid1->verticalScrollBar()->value() < MSFlexGrid1->verticalScrollBar()->maximum())
        advanceTopRow();
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

void frmDownload::closeEvent(QCloseEvent *event)
{
    m_closed = true;
    m_sequence->stop();
    if (openWindow == this)
        openWindow.clear();
    event->accept();
    deleteWhenIdle();
}

// A window closed while a wait runs is deleted only once that wait has returned, never under it.
void frmDownload::deleteWhenIdle()
{
    if (m_closed && m_deleteWhenClosed && !isBusy())
        deleteLater();
}

void frmDownload::offerPorts(const QStringList &present)
{
    cboPort->clear();
    cboPort->addItems(present);
    cboPort->setCurrentText(qmv::port::chosen());
    lblPort->show();
    cboPort->show();
}

void frmDownload::usePickedPort()
{
    const QString picked = cboPort->currentText().trimmed();
    if (cboPort->isHidden() || picked.isEmpty() || picked == qmv::port::chosen())
        return;
    // The pick holds for this run whatever named the port before, and for later runs where no
    // option or environment names one.
    qmv::port::setOverride(picked);
    qmv::port::remember(picked);
}
