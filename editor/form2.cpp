#include "form2.h"

#include "bellrules.h"
#include "cellgrid.h"
#include "form2layout.h"
#include "lifecycle.h"
#include "msgbox.h"
#include "paths.h"
#include "twips.h"
#include "weekview.h"
#include "widgetstyle.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QValidator>

using qmv::tw;
using qmv::twRect;
namespace bell = qmv::bell;

namespace {

// Scaled by half as much again when the window loads, the bell table's rows show all fifteen rows
// of a new program in the table's designed height.
constexpr int BellRowHeight = 240;       // twips
constexpr int ScheduleRowHeight = 240;   // twips
constexpr int Grid1Width = 11235;        // twips
constexpr int ScheduleColumnWidth = 960; // twips: the weekday labels stand this far apart
constexpr int ColumnLabelWidth = 1400;   // twips
constexpr int BellColumnWidths[qmv::BellColumns] = {1400, 1400, 1400, 1400, 1410, 1400, 1410, 1400};

const QColor WindowColour(0x00, 0xC0, 0xC0);
const QColor CellColour(0xC0, 0xFF, 0xFF);
const QColor GridLineColour(0xC0, 0xC0, 0xC0);
const QColor GroupLabelColour(0xC0, 0xFF, 0xC0);
const QColor WeekdayLabelColour(0xFF, 0xFF, 0xC0);
const QColor BellLabelColour(0xFF, 0xC0, 0xC0);

const QString ConfirmCloseTitle = QStringLiteral("Confirm Program Close");

// The designed faces come first; where they are not installed, the nearest faces by width
// keep the captions inside their labels.
QFont font(const QStringList &families, double points, bool bold, QFont::StyleHint hint)
{
    QFont f;
    f.setFamilies(families);
    f.setStyleHint(hint);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QFont msSerif(double points, bool bold = false)
{
    return font({QStringLiteral("MS Serif"), QStringLiteral("Times New Roman"),
                 QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif Condensed")},
                points, bold, QFont::Serif);
}

QFont msSansSerif(double points, bool bold = false)
{
    return font({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                 QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans Condensed")},
                points, bold, QFont::SansSerif);
}

QFont verdana(double points, bool bold = false)
{
    return font({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")}, points, bold,
                QFont::SansSerif);
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &caption, const QRect &rect,
                  Qt::Alignment alignment, const QColor &background = QColor())
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setGeometry(rect);
    label->setAlignment(alignment);
    if (background.isValid())
        qmv::setColour(label, QPalette::Window, background);
    return label;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption,
                        const QRect &rect)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(rect);
    return button;
}

QLineEdit *makeTextBox(QWidget *parent, const QString &name, const QRect &rect)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setGeometry(rect);
    return box;
}

// Whatever way text comes into an edit box (typed, pasted, dropped, from an input method), a
// character a working file cannot hold would make a file that cannot be read back, so the box
// refuses it at once.
class StorableText : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &text, int &) const override
    {
        return qmv::isStorableText(text) ? Acceptable : Invalid;
    }
};

} // namespace

Form2::Form2(bool pgmEditing, const QString &fileProgFile, const QString &fileProgFileTitle,
             QWidget *parent)
    : QWidget(parent), m_pgmEditing(pgmEditing), m_fileProgFile(fileProgFile),
      m_fileProgFileTitle(fileProgFileTitle)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Tavrel Systems"));
    setFixedSize(tw(11880), tw(8595));
    setFont(msSansSerif(8.25));
    qmv::setColour(this, QPalette::Window, WindowColour);
    createControls();
    createUndo();
}

Form2::~Form2()
{
    // The tables report their last changes while the base class deletes them, when this window
    // is no longer one to hear them.
    for (CellGrid *grid : {Grid1, Grid2}) {
        grid->disconnect(this);
        grid->model()->disconnect(this);
        grid->verticalScrollBar()->disconnect(this);
    }
}

void Form2::createControls()
{
    cmdPrevPgm = makeButton(this, QStringLiteral("cmdPrevPgm"), QStringLiteral("Previous"),
                            twRect(480, 120, 1575, 375));
    cmdPrevPgm->setFont(verdana(12, true));
    Label2 = makeLabel(this, QStringLiteral("Label2"), QStringLiteral("Program No."),
                       twRect(2160, 240, 1755, 375), Qt::AlignCenter);
    Label2->setFont(msSerif(13.5, true));
    txtNextProgram =
        makeTextBox(this, QStringLiteral("txtNextProgram"), twRect(3960, 120, 375, 405));
    txtNextProgram->setReadOnly(true);
    qmv::setColour(txtNextProgram, QPalette::Text, QColor(0xFF, 0x00, 0x00));
    cmdNextProgram = makeButton(this, QStringLiteral("cmdNextProgram"), QStringLiteral("Next"),
                                twRect(4560, 120, 1575, 375));
    cmdNextProgram->setFont(verdana(12, true));
    lblPgmName = makeLabel(this, QStringLiteral("lblPgmName"), QStringLiteral("Program Name"),
                           twRect(7920, 240, 1935, 375), Qt::AlignLeft | Qt::AlignVCenter);
    lblPgmName->setFont(msSerif(13.5, true));
    txtPgmName = makeTextBox(this, QStringLiteral("txtPgmName"), twRect(9960, 90, 1695, 405));
    txtPgmName->setReadOnly(true);

    createHeaderLabels();

    Grid1 = new CellGrid(qmv::DefaultBellRows, qmv::BellColumns, this);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setGeometry(twRect(360, 1560, Grid1Width, 5535));
    Grid1->setFont(msSerif(8.25));
    Grid1->setColours(CellColour, GridLineColour, WindowColour);
    Grid1->verticalHeader()->setDefaultSectionSize(tw(BellRowHeight));
    // All eight columns fit side by side; a horizontal scroll bar would only hide the last row.
    Grid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A vertical scroll bar would cover part of the LIGHT column: while there is one, the table
    // reaches that much further to the right, into the window's margin.
    connect(Grid1->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this](int, int maximum) {
        const int bar =
            maximum > 0 ? Grid1->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, Grid1)
                        : 0;
        Grid1->resize(tw(Grid1Width) + bar, Grid1->height());
    });
    // The edit box shows the current cell's text; the part of the cell below the box stays empty
    // rather than showing the lower half of the same text.
    Grid1->setCurrentTextHidden(true);
    // A click on a cell moves the box there, with that column's rule, like an arrow key.
    connect(Grid1, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (row >= 0)
            PlaceTextbox();
    });

    // A child of the window, not of the table: a key the box leaves alone must never reach the
    // table and move its current cell away from the box.
    txtCellEdit = makeTextBox(this, QStringLiteral("txtCellEdit"), twRect(360, 1560, 1380, 285));
    txtCellEdit->setFont(msSerif(8.25));
    txtCellEdit->setFrame(false);
    txtCellEdit->setTextMargins(0, 0, 0, 0);
    // Text reaches the box only through the keys the editor watches and its own paste, which keep
    // it within five characters.
    txtCellEdit->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(txtCellEdit, &QWidget::customContextMenuRequested, this, &Form2::cellEditContextMenu);
    txtCellEdit->setAcceptDrops(false);
    txtCellEdit->setValidator(new StorableText(txtCellEdit));
    txtCellEdit->installEventFilter(this);
    txtCellEdit->hide();

    createScheduleControls();

    cmdDownload = makeButton(this, QStringLiteral("cmdDownload"), QStringLiteral("DOWNLOAD"),
                             twRect(7800, 7920, 1335, 375));
    cmdDownload->setEnabled(false);
    cmdSaveProgram = makeButton(this, QStringLiteral("cmdSaveProgram"), QStringLiteral("SAVE"),
                                twRect(9360, 7800, 1095, 555));
    cmdSaveProgram->setEnabled(false);
    cmdExit = makeButton(this, QStringLiteral("cmdExit"), QStringLiteral("EXIT"),
                         twRect(10680, 7920, 1095, 375));
    connect(cmdExit, &QPushButton::clicked, this, &Form2::exitClicked);
    connect(cmdNextProgram, &QPushButton::clicked, this, &Form2::nextProgramClicked);
    connect(cmdPrevPgm, &QPushButton::clicked, this, &Form2::prevPgmClicked);
    connect(cmdSaveProgram, &QPushButton::clicked, this, &Form2::saveProgramClicked);
    connect(cmdDownload, &QPushButton::clicked, this, &Form2::downloadClicked);

    // A save covers the tables as they were; any later change to a cell, a row added or removed,
    // or another program loaded means DOWNLOAD must write what the screen shows again.
    for (CellGrid *grid : {Grid1, Grid2}) {
        const auto unsaved = [this] {
            pgmSaved = false;
            emit tablesEdited();
        };
        connect(grid->model(), &QAbstractItemModel::dataChanged, this, unsaved);
        connect(grid->model(), &QAbstractItemModel::rowsInserted, this, unsaved);
        connect(grid->model(), &QAbstractItemModel::rowsRemoved, this, unsaved);
        connect(grid->model(), &QAbstractItemModel::modelReset, this, unsaved);
    }
    qmv::week::attachWeekView(this, m_fileProgFileTitle);
}

void Form2::createHeaderLabels()
{
    // Lefts and widths are set when the window loads; the tops and heights are fixed.
    auto header = [this](const char *name, const char *caption, int top, const QColor &colour) {
        return makeLabel(this, QLatin1String(name), QLatin1String(caption), twRect(0, top, 0, 375),
                         Qt::AlignCenter, colour);
    };
    lblBell1 = header("lblBell1", "BELL 1", 720, GroupLabelColour);
    lblBell2 = header("lblBell2", "BELL 2", 720, GroupLabelColour);
    lblFan = header("lblFan", "LIGHT", 720, GroupLabelColour);
    for (QLabel *group : {lblBell1, lblBell2, lblFan})
        group->setFont(msSansSerif(8.25, true));

    const QColor condition(0xFF, 0xC0, 0x80);
    const QColor action(0xFF, 0xFF, 0x80);
    const QColor seconds(0x80, 0xFF, 0x80);
    lblTime = header("lblTime", "Time", 1200, QColor(0xFF, 0x80, 0x80));
    lblTime->setFont(verdana(8.25));
    lblCond1 = header("lblCond1", "Condition", 1200, condition);
    lblAction1 = header("lblAction1", "Action", 1200, action);
    lblSeconds1 = header("lblSeconds1", "Seconds", 1200, seconds);
    lblCond2 = header("lblCond2", "Condition", 1200, condition);
    lblAction2 = header("lblAction2", "Action", 1200, action);
    lblSeconds2 = header("lblSeconds2", "Seconds", 1200, seconds);
    lblFanCond = header("lblFanCond", "Condition", 1200, QColor(0x80, 0xFF, 0xFF));
}

void Form2::createScheduleControls()
{
    const char *weekdays[][2] = {{"Label3", "Monday"}, {"Label4", "Tuesday"}, {"Label8", "Wed"},
                                 {"Label9", "Thurs"},  {"Label10", "Friday"}, {"Label11", "Sat"},
                                 {"Label12", "Sun"}};
    int left = 840;
    for (const auto &day : weekdays) {
        const QString name = QLatin1String(day[0]);
        const int width =
            name == QLatin1String("Label4") || name == QLatin1String("Label10") ? 1035 : 975;
        QLabel *label = makeLabel(this, name, QLatin1String(day[1]), twRect(left, 7200, width, 255),
                                  Qt::AlignCenter, WeekdayLabelColour);
        label->setFont(verdana(9.75));
        label->hide();
        m_weekdayLabels.append(label);
        left += ScheduleColumnWidth;
    }
    Label5 =
        makeLabel(this, QStringLiteral("Label5"), QStringLiteral("Bell 1"),
                  twRect(120, 7680, 615, 255), Qt::AlignRight | Qt::AlignVCenter, BellLabelColour);
    Label6 =
        makeLabel(this, QStringLiteral("Label6"), QStringLiteral("Bell 2"),
                  twRect(120, 8040, 615, 255), Qt::AlignRight | Qt::AlignVCenter, BellLabelColour);
    for (QLabel *label : {Label5, Label6}) {
        label->setFont(verdana(9.75));
        label->hide();
    }

    Grid2 = new CellGrid(qmv::ScheduleRows, qmv::ScheduleColumns, this);
    Grid2->setObjectName(QStringLiteral("Grid2"));
    Grid2->setGeometry(twRect(840, 7560, 6855, 945));
    Grid2->setFont(msSansSerif(8.25));
    Grid2->setColours(CellColour, GridLineColour, WindowColour);
    Grid2->verticalHeader()->setDefaultSectionSize(tw(ScheduleRowHeight));
    for (int column = 0; column < qmv::ScheduleColumns; ++column)
        Grid2->setColumnWidth(column, tw(ScheduleColumnWidth));
    Grid2->hide();

    // Like txtCellEdit, a child of the window laid over the table, so that no key the box
    // leaves alone can move the table's current cell behind it.
    Text4 = makeTextBox(this, QStringLiteral("Text4"), twRect(840, 7680, 1395, 405));
    qmv::setColour(Text4, QPalette::Base, QColor(0x00, 0x00, 0xFF));
    qmv::setColour(Text4, QPalette::Text, QColor(0xFF, 0xFF, 0xFF));
    Text4->setValidator(new StorableText(Text4));
    Text4->installEventFilter(this);
    Text4->hide();
    connect(Grid2, &QTableWidget::currentCellChanged, this, &Form2::scheduleCellEntered);

    // Only the boxes take the focus and the keys: a table moving its own current cell would
    // skip every rule of the editor.
    for (auto [grid, box] : {std::pair(Grid1, txtCellEdit), std::pair(Grid2, Text4)}) {
        grid->setFocusPolicy(Qt::NoFocus);
        grid->setTabKeyNavigation(false);
        grid->installEventFilter(this);
        connect(grid, &QTableWidget::currentCellChanged, this, [this] { ++m_visit; });
        // Neither table is wider than its columns, so only rows scroll.
        connect(grid->verticalScrollBar(), &QScrollBar::valueChanged, this,
                [grid = grid, box = box] { followCurrentCell(box, grid); });
    }
}

bool Form2::load()
{
    pgmSaved = false;

    // Every row of a table has the same height, so scaling the height new rows get scales the
    // rows there are as well, and rows added later match them.
    for (CellGrid *grid : {Grid1, Grid2}) {
        QHeaderView *rows = grid->verticalHeader();
        const int designed = int(qmv::toTwips(rows->defaultSectionSize()));
        rows->setDefaultSectionSize(tw(qmv::layout::scaledRowHeight(designed)));
    }
    for (int column = 0; column < qmv::BellColumns; ++column)
        Grid1->setColumnWidth(column, tw(BellColumnWidths[column]));

    applyLoadFonts();
    placeHeaderLabels();

    for (int column = 0; column < qmv::BellColumns; ++column) {
        if (bell::isWordColumn(column))
            Grid1->setColumnAlignment(column, Qt::AlignCenter);
    }

    Grid1->setContents(qmv::defaultBellTable(Grid1->rowCount()));
    Grid2->setContents(qmv::defaultSchedule());

    pgmCurrent = 1;
    txtNextProgram->setText(QString::number(pgmCurrent));
    txtPgmName->setText(m_fileProgFileTitle);

    if (m_pgmEditing) {
        if (!splitProgramFile())
            return false;
    } else {
        if (QFileInfo::exists(m_fileProgFile) &&
            ShowMessageBox(QStringLiteral("File already exists\r\nContent will lost if you "
                                          "continue\r\nEXIT?"),
                           ConfirmCloseTitle, msgbox::YesNo,
                           msgbox::QuestionIcon) == frmMsgBox::Yes) {
            qmv::endProgram();
            return false;
        }
        if (!writeNewWorkingFiles())
            return false;
    }

    SetTextbox();
    Grid1->setCurrentCell(0, 0);
    // The window opens ready for typing into the first cell.
    txtCellEdit->setFocus();
    return true;
}

void Form2::applyLoadFonts()
{
    for (QWidget *label : {lblTime, lblCond1, lblAction1, lblSeconds1, lblCond2, lblAction2,
                           lblSeconds2, lblFanCond, lblBell1, lblBell2, lblFan})
        qmv::setPointSize(label, 15);
    qmv::setPointSize(Grid1, 15);
    qmv::setPointSize(txtCellEdit, 13);
    qmv::setPointSize(Text4, 10);
}

void Form2::placeHeaderLabels()
{
    const qmv::layout::HeaderLayout layout =
        qmv::layout::headerLayout(float(qmv::toTwips(Grid1->x())), ColumnLabelWidth);
    QLabel *const columns[] = {lblTime,  lblCond1,   lblAction1,  lblSeconds1,
                               lblCond2, lblAction2, lblSeconds2, lblFanCond};
    auto place = [](QWidget *label, const qmv::layout::LabelSpan &span) {
        label->setGeometry(tw(span.left), label->y(), tw(span.width), label->height());
    };
    for (std::size_t i = 0; i < layout.columns.size(); ++i)
        place(columns[i], layout.columns[i]);
    place(lblBell1, layout.bell1);
    place(lblBell2, layout.bell2);
    place(lblFan, layout.light);
}

void Form2::placeBoxOverCell(QLineEdit *box, CellGrid *grid, int heightReduction)
{
    const int row = grid->currentRow();
    const int column = grid->currentColumn();
    if (row < 0 || column < 0)
        return;
    const QRect cell = grid->cellRect(row, column, box->parentWidget());
    const int lower = tw(qmv::toTwips(cell.height()) - heightReduction);
    // A box too low for its text would cut the text and show a strip of the cell below it.
    const int height = lower >= box->minimumSizeHint().height() ? lower : cell.height();
    box->setGeometry(cell.x(), cell.y(), cell.width(), height);
    box->setAlignment(grid->columnAlignment(column));
    followCurrentCell(box, grid);
}

void Form2::SetTextbox()
{
    txtCellEdit->hide();
    placeBoxOverCell(txtCellEdit, Grid1, 0);
    txtCellEdit->setText(Grid1->cellText(Grid1->currentRow(), Grid1->currentColumn()));
    txtCellEdit->show();

    Text4->hide();
    placeBoxOverCell(Text4, Grid2, 0);
    Text4->setText(Grid2->cellText(Grid2->currentRow(), Grid2->currentColumn()));
    Text4->show();

    Grid2->hide();
    Text4->hide();
    for (QLabel *label : {m_weekdayLabels.at(0), m_weekdayLabels.at(1), Label5, Label6,
                          m_weekdayLabels.at(2), m_weekdayLabels.at(3), m_weekdayLabels.at(4),
                          m_weekdayLabels.at(5), m_weekdayLabels.at(6)})
        label->hide();
}

void Form2::exitClicked()
{
    if (ShowMessageBox(QStringLiteral("Are you sure ?\r\nDo you really want to Exit ? ? ?"),
                       ConfirmCloseTitle, msgbox::YesNo, msgbox::QuestionIcon) == frmMsgBox::Yes)
        qmv::endProgram();
}

void Form2::closeEvent(QCloseEvent *event)
{
    if (qmv::isEnding()) {
        event->accept();
        return;
    }
    // Closing the window is leaving the tool, so it asks the same question EXIT does.
    event->ignore();
    exitClicked();
}
