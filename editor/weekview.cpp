#include "weekview.h"

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
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QTextStream>
#include <QVBoxLayout>

#include <chrono>
#include <cmath>

using namespace qmv::week;

namespace {

// Long enough to take a whole burst of key strokes or a program change as one, short enough to
// look immediate.
constexpr std::chrono::milliseconds RefreshDelay{100};

const QString WeekTitle = QStringLiteral("qmv Week");

QStringList findingTexts(const qmv::ProgramFile &file)
{
    QStringList texts;
    for (const qmv::check::Finding &finding : qmv::check::findings(file))
        texts.append(finding.toString());
    return texts;
}

std::unique_ptr<WeekPage> makePage(const WeekPlan &plan, const QStringList &notes,
                                   const QString &fileTitle)
{
    const QString date = QDate::currentDate().toString(Qt::ISODate);
    return std::make_unique<WeekPage>(plan, notes, fileTitle, QStringLiteral("printed ") + date);
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

// The page drawn at the width of the window; it grows downwards as far as the week needs.
class WeekSheet : public QWidget
{
public:
    using QWidget::QWidget;
    const WeekPage *page = nullptr;

    int heightFor(int width) const
    {
        return page ? int(std::ceil(qreal(page->fullHeight()) * width / WeekPage::Width)) : 0;
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        if (!page)
            return;
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal scale = qreal(width()) / WeekPage::Width;
        painter.scale(scale, scale);
        page->paint(painter, page->fullHeight(), 0);
    }
};

WeekView::WeekView(const QString &fileTitle, Source source, QWidget *parent)
    : QWidget(parent, Qt::Window), m_fileTitle(fileTitle), m_source(std::move(source))
{
    setObjectName(QStringLiteral("WeekView"));
    setWindowTitle(QStringLiteral("Week - ") + fileTitle);
    resize(qmv::tw(14400), qmv::tw(8640));

    m_sheet = new WeekSheet(this);
    m_sheet->setObjectName(QStringLiteral("weekSheet"));
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(m_sheet);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
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
}

WeekView::~WeekView() = default;

void WeekView::scheduleRefresh()
{
    // A hidden view reads the tables when it is shown again.
    if (isVisible())
        m_refreshTimer.start();
}

void WeekView::refresh()
{
    m_refreshTimer.stop();
    QStringList problems;
    const qmv::ProgramFile file = m_source(&problems);
    m_plan = weekPlan(file.programs, file.schedule);
    m_notes = problems + findingTexts(file);
    m_page = makePage(m_plan, m_notes, m_fileTitle);
    m_sheet->page = m_page.get();
    fitSheet();
    m_sheet->update();
}

void WeekView::fitSheet()
{
    const int width = m_scroll->viewport()->width();
    m_sheet->resize(width, m_sheet->heightFor(width));
}

void WeekView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
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
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter *target) { printWeek(*target, *m_page); });
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
    if (!writePdf(path, *m_page, m_fileTitle))
        ShowMessageBox(QStringLiteral("Cannot write %1").arg(path), WeekTitle, msgbox::OkOnly,
                       msgbox::QuestionIcon);
}

namespace qmv::week {

void attachWeekView(Form2 *form, const QString &fileTitle)
{
    // The other two programs live in their working files while one is shown.
    const WeekView::Source source = [form](QStringList *problems) {
        ProgramFile file;
        for (int n = 1; n <= ProgramCount; ++n) {
            if (n == form->pgmCurrent) {
                file.programs[n - 1] = form->shownBellTable();
                continue;
            }
            QString error;
            const auto working = readWorkingFile(n, n == ProgramCount, &error);
            if (working)
                file.programs[n - 1] = working->bell;
            else
                problems->append(error);
        }
        file.schedule = form->shownSchedule();
        return file;
    };
    auto *view = new WeekView(fileTitle, source, form);
    QObject::connect(form, &Form2::tablesEdited, view, &WeekView::scheduleRefresh);

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
    const auto page =
        makePage(weekPlan(file->programs, file->schedule), findingTexts(*file), title);
    if (!writePdf(pdfPath, *page, title)) {
        err << QStringLiteral("Cannot write %1").arg(pdfPath) << Qt::endl;
        return 2;
    }
    return 0;
}

} // namespace qmv::week
