#include "weekview.h"

#include "cellgrid.h"
#include "form2.h"
#include "msgbox.h"
#include "paths.h"
#include "programcheck.h"
#include "twips.h"
#include "weekpage.h"

#include <QDate>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPromise>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QTextStream>
#include <QThreadPool>
#include <QVBoxLayout>

#include <chrono>
#include <cmath>

using namespace qmv::week;

namespace {

// Long enough to take a whole burst of key strokes or a program change as one, short enough to
// look immediate.
constexpr std::chrono::milliseconds RefreshDelay{100};
// The findings of the shown program read all its rows: once the typing has paused.
constexpr std::chrono::milliseconds CheckDelay{400};
// The bell table's text size: the week on screen is never drawn smaller.
constexpr qreal TableTextPoints = 8.25;

const QString WeekTitle = QStringLiteral("qmv Week");

QStringList findingTexts(const qmv::ProgramFile &file, int program)
{
    QStringList texts;
    for (const qmv::check::Finding &finding : qmv::check::findings(file)) {
        if (finding.program == program)
            texts.append(finding.toString());
    }
    return texts;
}

// The findings of one program alone.
QStringList programFindings(const qmv::CellTable &table, int program)
{
    qmv::ProgramFile file;
    file.programs[program - 1] = table;
    file.schedule = qmv::defaultSchedule();
    return findingTexts(file, program);
}

// The controller's side of one program alone (none for 0), so that a comparison reads no other.
qmv::record::ControllerState onlyProgram(qmv::record::ControllerState state, int program)
{
    if (state.record && state.record->sent) {
        for (int p = 1; p <= qmv::ProgramCount; ++p) {
            if (p != program)
                state.record->sent->programs[p - 1] = {};
        }
    }
    return state;
}

QString printedToday()
{
    return QStringLiteral("printed ") + QDate::currentDate().toString(Qt::ISODate);
}

bool writePdf(const QString &path, const WeekPage &page, const QString &fileTitle)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageOrientation(QPageLayout::Landscape);
    writer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    writer.setTitle(fileTitle);
    writer.setCreator(QStringLiteral("qmv"));
    return printWeek(writer, page);
}

} // namespace

// The page as one long sheet at a readable size; only the part in sight is drawn.
class WeekSheet : public QWidget
{
public:
    using QWidget::QWidget;
    const WeekPage *page = nullptr;
    qreal scale = 1;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        painter.fillRect(event->rect(), Qt::white);
        if (!page)
            return;
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        page->paintSheet(painter, event->rect().top() / scale,
                         (event->rect().bottom() + 1) / scale);
    }
};

WeekView::WeekView(const QString &fileTitle, Form2 *form)
    : QWidget(form, Qt::Window), m_fileTitle(fileTitle), m_form(form),
      m_grid1(form->findChild<CellGrid *>(QStringLiteral("Grid1"))),
      m_grid2(form->findChild<CellGrid *>(QStringLiteral("Grid2"))),
      m_page(std::make_unique<WeekPage>(m_index, fileTitle, QStringLiteral("as in the editor")))
{
    setObjectName(QStringLiteral("WeekView"));
    setWindowTitle(QStringLiteral("Week - ") + fileTitle);
    // As wide as the page at a readable size, where the screen has room for it.
    const int pageWidth = int(std::ceil(m_page->width() * readableScale())) + qmv::tw(600);
    const QScreen *screen = form->screen();
    resize(std::min(pageWidth, screen ? screen->availableGeometry().width() : pageWidth),
           qmv::tw(8640));
    m_stamps.fill({{}, -2});

    m_sheet = new WeekSheet(this);
    m_sheet->setObjectName(QStringLiteral("weekSheet"));
    // The page stays where it is as it grows or shrinks: only what comes into sight is drawn.
    m_sheet->setAttribute(Qt::WA_StaticContents);
    m_sheet->page = m_page.get();
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("weekScroll"));
    m_scroll->setWidget(m_sheet);
    // A scroll bar that came and went with the week's length would change the width the page is
    // drawn at, and so its length again.
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_scroll->viewport()->installEventFilter(this);

    auto *print = new QPushButton(QStringLiteral("Print..."), this);
    print->setObjectName(QStringLiteral("cmdPrint"));
    auto *pdf = new QPushButton(QStringLiteral("Save as PDF..."), this);
    pdf->setObjectName(QStringLiteral("cmdSavePdf"));
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    connect(print, &QPushButton::clicked, this, &WeekView::printWithPreview);
    connect(pdf, &QPushButton::clicked, this, &WeekView::saveAsPdf);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    print->setShortcut(QKeySequence::Print);
    close->setShortcut(QKeySequence(Qt::Key_Escape));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(print);
    buttons->addWidget(pdf);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_scroll);
    layout->addLayout(buttons);

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(RefreshDelay);
    connect(&m_refreshTimer, &QTimer::timeout, this, &WeekView::refresh);
    m_checkTimer.setSingleShot(true);
    m_checkTimer.setInterval(CheckDelay);
    connect(&m_checkTimer, &QTimer::timeout, this, [this] { check(m_shown, m_grid1->contents()); });
    for (int p = 0; p < qmv::ProgramCount; ++p) {
        QFutureWatcher<Check> *watcher = &m_checks[p];
        connect(watcher, &QFutureWatcher<Check>::finished, this, [this, watcher, p] {
            // A check given up for a newer reading has no result.
            if (watcher->future().resultCount() == 0)
                return;
            m_checked[p] = watcher->result();
            takeNotes();
        });
    }

    // Each edit names the rows it changed; anything else reads the shown program again.
    const QAbstractItemModel *bells = m_grid1->model();
    connect(bells, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to) {
                shownRowsChanged(from.row(), to.row());
            });
    const auto reread = [this] {
        m_shownStale = true;
        scheduleRefresh();
    };
    connect(bells, &QAbstractItemModel::rowsInserted, this, reread);
    connect(bells, &QAbstractItemModel::rowsRemoved, this, reread);
    connect(bells, &QAbstractItemModel::modelReset, this, reread);
    const auto schedule = [this] {
        m_scheduleStale = true;
        scheduleRefresh();
    };
    const QAbstractItemModel *days = m_grid2->model();
    connect(days, &QAbstractItemModel::dataChanged, this, schedule);
    connect(days, &QAbstractItemModel::rowsInserted, this, schedule);
    connect(days, &QAbstractItemModel::rowsRemoved, this, schedule);
    connect(days, &QAbstractItemModel::modelReset, this, schedule);
}

WeekView::~WeekView() = default;

const QStringList &WeekView::notes() const
{
    return m_page->notes();
}

void WeekView::shownRowsChanged(int first, int last)
{
    m_firstChanged = m_firstChanged < 0 ? first : std::min(m_firstChanged, first);
    m_lastChanged = std::max(m_lastChanged, last);
    scheduleRefresh();
}

void WeekView::scheduleRefresh()
{
    // A hidden view reads the tables when it is shown again.
    if (isVisible())
        m_refreshTimer.start();
}

void WeekView::readWorkingFile(int program)
{
    const QFileInfo info(qmv::paths::workingFile(program));
    const Stamp stamp{info.lastModified(), info.exists() ? info.size() : -1};
    if (stamp == m_stamps[program - 1])
        return;
    m_stamps[program - 1] = stamp;
    QString error;
    const auto working = qmv::readWorkingFile(program, program == qmv::ProgramCount, &error);
    if (working) {
        m_index.setProgram(program, working->bell);
        check(program, working->bell);
        return;
    }
    m_index.setProgram(program, {});
    m_checks[program - 1].cancel();
    m_checked[program - 1] = {{error}, {}};
}

void WeekView::refresh()
{
    m_refreshTimer.stop();
    if (m_form->pgmCurrent != m_shown) {
        m_shown = m_form->pgmCurrent;
        m_shownStale = true;
        // The program left has just been written to its working file.
        m_stamps.fill({{}, -2});
    }
    for (int p = 1; p <= qmv::ProgramCount; ++p) {
        if (p != m_shown)
            readWorkingFile(p);
    }
    if (m_shownStale || m_firstChanged >= 0)
        m_checkTimer.start();
    if (m_shownStale) {
        m_index.setProgram(m_shown, m_grid1->contents());
        m_shownStale = false;
        m_firstChanged = m_lastChanged = -1;
    } else if (m_firstChanged >= 0) {
        QList<QStringList> rows;
        for (int r = m_firstChanged; r <= m_lastChanged; ++r)
            rows.append(m_grid1->rowTexts(r));
        m_index.setRows(m_shown, m_firstChanged, rows);
        m_firstChanged = m_lastChanged = -1;
    }
    if (m_scheduleStale) {
        const qmv::ProgramFile scheduleOnly{{}, m_grid2->contents()};
        m_index.setSchedule(scheduleOnly.schedule);
        m_scheduleNotes = findingTexts(scheduleOnly, 0);
        m_scheduleDifferences =
            qmv::record::compare(scheduleOnly, onlyProgram(m_controller, 0)).schedule;
        m_scheduleStale = false;
    }
    takeNotes();
}

void WeekView::check(int program, const qmv::CellTable &table)
{
    m_checks[program - 1].cancel();
    auto promise = std::make_shared<QPromise<Check>>();
    m_checks[program - 1].setFuture(promise->future());
    const qmv::record::ControllerState controller = onlyProgram(m_controller, program);
    QThreadPool::globalInstance()->start([promise, table, program, controller] {
        promise->start();
        qmv::ProgramFile file;
        file.programs[program - 1] = table;
        promise->addResult(
            Check{programFindings(table, program), qmv::record::compare(file, controller).rows});
        promise->finish();
    });
}

void WeekView::takeNotes()
{
    qmv::record::Comparison comparison;
    comparison.known = m_controller.record && m_controller.record->sent;
    QStringList findings;
    for (const Check &check : m_checked) {
        comparison.rows += check.differences;
        findings += check.findings;
    }
    comparison.schedule = m_scheduleDifferences;
    const bool checking =
        m_checkTimer.isActive() ||
        std::any_of(m_checks.begin(), m_checks.end(),
                    [](const QFutureWatcher<Check> &check) { return check.isRunning(); });
    QString controller = m_controller.statusLine();
    if (comparison.known)
        controller += QStringLiteral(" - ") +
                      (checking ? QStringLiteral("comparing...") : comparison.summary());
    m_page->update(QStringList{controller} + comparison.lines() + findings + m_scheduleNotes);
    fitSheet();
    // An edit out of sight, the usual case in a long program, draws nothing.
    const QRect seen = m_sheet->visibleRegion().boundingRect();
    const QString shown =
        m_page->sheetText(seen.top() / m_sheet->scale, (seen.bottom() + 1) / m_sheet->scale);
    if (shown != m_shownText) {
        m_shownText = shown;
        m_sheet->update();
    }
}

qreal WeekView::readableScale() const
{
    return TableTextPoints * logicalDpiY() / 72 / WeekPage::SmallestText;
}

void WeekView::fitSheet()
{
    // At least the bell table's text size; a wider window shows the page wider.
    const QSize room = m_scroll->viewport()->size();
    m_sheet->scale = std::max(readableScale(), qreal(room.width()) / m_page->width());
    // A short week leaves no grey under the page.
    m_sheet->resize(int(std::ceil(m_page->width() * m_sheet->scale)),
                    std::max(room.height(), int(std::ceil(m_page->fullHeight() * m_sheet->scale))));
}

void WeekView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A download since the view was last shown changes what every table is compared with.
    m_controller = qmv::record::controllerState();
    m_stamps.fill({{}, -2});
    m_shownStale = true;
    m_scheduleStale = true;
    refresh();
}

bool WeekView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_scroll->viewport() && event->type() == QEvent::Resize)
        fitSheet();
    return QWidget::eventFilter(watched, event);
}

void WeekView::printWithPreview()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(m_fileTitle);
    QPrintPreviewDialog preview(&printer, this);
    preview.setObjectName(QStringLiteral("weekPrintPreview"));
    WeekPage page(m_index, m_fileTitle, printedToday());
    page.update(notes());
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [&page](QPrinter *target) { printWeek(*target, page); });
    preview.exec();
}

void WeekView::saveAsPdf()
{
    const QString suggested = qmv::paths::dataDir() + QLatin1Char('/') +
                              QFileInfo(m_fileTitle).completeBaseName() + QStringLiteral(".pdf");
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save the week as PDF"),
                                                      suggested, QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    WeekPage page(m_index, m_fileTitle, printedToday());
    page.update(notes());
    if (!writePdf(path, page, m_fileTitle))
        ShowMessageBox(QStringLiteral("Cannot write %1").arg(path), WeekTitle, msgbox::OkOnly,
                       msgbox::QuestionIcon);
}

namespace qmv::week {

void attachWeekView(Form2 *form, const QString &fileTitle)
{
    auto *view = new WeekView(fileTitle, form);

    // In the free space between Next and the program's name.
    auto *button = new QPushButton(QStringLiteral("Week"), form);
    button->setObjectName(QStringLiteral("cmdWeekView"));
    button->setGeometry(twRect(6480, 120, 1095, 375));
    button->setToolTip(QStringLiteral("The week at a glance (Ctrl+T)"));
    // The edit boxes keep the focus: every key the editor handles goes to them.
    button->setFocusPolicy(Qt::NoFocus);
    auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), form);
    const auto open = [view] {
        view->show();
        view->raise();
        view->activateWindow();
    };
    QObject::connect(button, &QPushButton::clicked, view, open);
    QObject::connect(shortcut, &QShortcut::activated, view, open);
}

int printWeekToPdf(const QString &programFile, const QString &pdfPath, QTextStream &err)
{
    QString error;
    const std::optional<ProgramFile> file = readProgramFile(programFile, &error);
    if (!file) {
        err << error << Qt::endl;
        return 2;
    }
    // A slip of the command line must not turn the program file into its own printout.
    if (QFileInfo(pdfPath).canonicalFilePath() == QFileInfo(programFile).canonicalFilePath()) {
        err << QStringLiteral("%1 is the program file itself").arg(pdfPath) << Qt::endl;
        return 2;
    }
    const QString title = QFileInfo(programFile).fileName();
    WeekIndex index;
    for (int p = 1; p <= ProgramCount; ++p)
        index.setProgram(p, file->programs[p - 1]);
    index.setSchedule(file->schedule);
    WeekPage page(index, title, printedToday());
    QStringList notes;
    for (const check::Finding &finding : check::findings(*file))
        notes.append(finding.toString());
    page.update(notes);
    if (!writePdf(pdfPath, page, title)) {
        err << QStringLiteral("Cannot write %1").arg(pdfPath) << Qt::endl;
        return 2;
    }
    return 0;
}

} // namespace qmv::week
