#include "frmcalendar.h"

#include "msgbox.h"
#include "paths.h"

#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace qmv::calendar;

namespace {

constexpr int WeeksShown = 6;
constexpr int DaysPerWeek = 7;
const QString DateFormat = QStringLiteral("yyyy-MM-dd");
const QString Title = QStringLiteral("qmv Calendar");
// Period days in the month view, one tint per period in turn.
const QColor PeriodTints[] = {QColor(255, 236, 179), QColor(200, 230, 201), QColor(187, 222, 251),
                              QColor(248, 187, 208)};

template <typename W> W *named(W *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QTableWidgetItem *readOnlyItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

frmCalendar::frmCalendar(FileDialogRunner runFileDialog, QWidget *parent)
    : QDialog(parent), m_runFileDialog(std::move(runFileDialog))
{
    setObjectName(QStringLiteral("frmCalendar"));
    setWindowTitle(QStringLiteral("Calendar"));

    m_otherDays = named(new QLineEdit(this), "txtOtherDays");
    auto *chooseOther = named(new QPushButton(QStringLiteral("Choose..."), this), "cmdOtherDays");
    m_clockDays = named(new QSpinBox(this), "spnClockDays");
    m_clockDays->setRange(1, 3650);
    auto *top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("Program file on every other day:"), this), 0, 0);
    top->addWidget(m_otherDays, 0, 1);
    top->addWidget(chooseOther, 0, 2);
    top->addWidget(new QLabel(QStringLiteral("Set the clock again after (days):"), this), 1, 0);
    top->addWidget(m_clockDays, 1, 1, Qt::AlignLeft);

    m_periods = named(new QTableWidget(0, 4, this), "grdPeriods");
    m_periods->setHorizontalHeaderLabels({QStringLiteral("First day"), QStringLiteral("Last day"),
                                          QStringLiteral("Program file"), QStringLiteral("Note")});
    m_periods->horizontalHeader()->setStretchLastSection(true);
    m_periods->verticalHeader()->hide();
    m_periods->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_periods->setSelectionMode(QAbstractItemView::SingleSelection);

    m_first = named(new QDateEdit(QDate::currentDate(), this), "dtpFirst");
    m_last = named(new QDateEdit(QDate::currentDate(), this), "dtpLast");
    for (QDateEdit *edit : {m_first, m_last}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(DateFormat);
    }
    m_file = named(new QLineEdit(this), "txtPeriodFile");
    auto *choosePeriod = named(new QPushButton(QStringLiteral("Choose..."), this), "cmdPeriodFile");
    m_note = named(new QLineEdit(this), "txtPeriodNote");
    auto *add = named(new QPushButton(QStringLiteral("Add"), this), "cmdAddPeriod");
    auto *change = named(new QPushButton(QStringLiteral("Change"), this), "cmdChangePeriod");
    auto *remove = named(new QPushButton(QStringLiteral("Remove"), this), "cmdRemovePeriod");
    auto *editor = new QGridLayout;
    editor->addWidget(new QLabel(QStringLiteral("From"), this), 0, 0);
    editor->addWidget(m_first, 0, 1);
    editor->addWidget(new QLabel(QStringLiteral("to"), this), 0, 2);
    editor->addWidget(m_last, 0, 3);
    editor->addWidget(new QLabel(QStringLiteral("File"), this), 0, 4);
    editor->addWidget(m_file, 0, 5);
    editor->addWidget(choosePeriod, 0, 6);
    editor->addWidget(new QLabel(QStringLiteral("Note"), this), 1, 0);
    editor->addWidget(m_note, 1, 1, 1, 6);
    editor->setColumnStretch(5, 1);
    auto *periodButtons = new QHBoxLayout;
    periodButtons->addStretch(1);
    periodButtons->addWidget(add);
    periodButtons->addWidget(change);
    periodButtons->addWidget(remove);

    auto *previous = named(new QPushButton(QStringLiteral("<"), this), "cmdPrevMonth");
    auto *next = named(new QPushButton(QStringLiteral(">"), this), "cmdNextMonth");
    m_monthName = named(new QLabel(this), "lblMonth");
    m_monthName->setAlignment(Qt::AlignCenter);
    auto *monthBar = new QHBoxLayout;
    monthBar->addWidget(previous);
    monthBar->addWidget(m_monthName, 1);
    monthBar->addWidget(next);
    m_days = named(new QTableWidget(WeeksShown, DaysPerWeek, this), "grdMonth");
    QStringList dayNames;
    for (int day = 1; day <= DaysPerWeek; ++day)
        dayNames << QLocale().dayName(day, QLocale::ShortFormat);
    m_days->setHorizontalHeaderLabels(dayNames);
    m_days->verticalHeader()->hide();
    m_days->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_days->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_days->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_days->setSelectionMode(QAbstractItemView::NoSelection);
    m_days->setWordWrap(true);
    m_days->setMinimumHeight(WeeksShown * 2 * fontMetrics().lineSpacing() + 40);

    m_problems = named(new QListWidget(this), "lstProblems");
    m_problems->setMaximumHeight(5 * fontMetrics().lineSpacing());
    QPalette red = m_problems->palette();
    red.setColor(QPalette::Text, Qt::darkRed);
    m_problems->setPalette(red);
    m_status = named(new QLabel(this), "lblStatus");
    m_status->setTextFormat(Qt::PlainText);
    auto *saveButton = named(new QPushButton(QStringLiteral("Save"), this), "cmdSaveCalendar");
    auto *closeButton = named(new QPushButton(QStringLiteral("Close"), this), "cmdCloseCalendar");
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(saveButton);
    bottom->addWidget(closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_periods, 1);
    layout->addLayout(editor);
    layout->addLayout(periodButtons);
    layout->addLayout(monthBar);
    layout->addWidget(m_days, 2);
    layout->addWidget(
        new QLabel(QStringLiteral("What keeps the calendar from being saved:"), this));
    layout->addWidget(m_problems);
    layout->addLayout(bottom);
    resize(760, 720);

    QString why;
    if (QFileInfo::exists(calendarPath())) {
        if (const std::optional<Calendar> read = readCalendar(calendarPath(), &why))
            m_calendar = *read;
        else
            m_status->setText(why);
    }
    m_otherDays->setText(m_calendar.otherDays);
    m_clockDays->setValue(m_calendar.clockDays);

    connect(m_otherDays, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_calendar.otherDays = text.trimmed();
        changed();
    });
    connect(chooseOther, &QPushButton::clicked, this, [this] {
        const QString file = chooseFile(m_calendar.otherDays);
        if (file.isEmpty())
            return;
        m_otherDays->setText(file);
        m_calendar.otherDays = file;
        changed();
    });
    connect(m_clockDays, &QSpinBox::valueChanged, this, [this](int days) {
        m_calendar.clockDays = days;
        changed();
    });
    connect(choosePeriod, &QPushButton::clicked, this, [this] {
        if (const QString file = chooseFile(m_file->text()); !file.isEmpty())
            m_file->setText(file);
    });
    connect(add, &QPushButton::clicked, this, &frmCalendar::addPeriod);
    connect(change, &QPushButton::clicked, this, &frmCalendar::changePeriod);
    connect(remove, &QPushButton::clicked, this, &frmCalendar::removePeriod);
    connect(m_periods, &QTableWidget::itemSelectionChanged, this, &frmCalendar::periodPicked);
    connect(previous, &QPushButton::clicked, this, [this] { showMonth(m_month.addMonths(-1)); });
    connect(next, &QPushButton::clicked, this, [this] { showMonth(m_month.addMonths(1)); });
    connect(saveButton, &QPushButton::clicked, this, &frmCalendar::save);
    connect(closeButton, &QPushButton::clicked, this, &frmCalendar::reject);

    showPeriods();
    showMonth(QDate::currentDate());
    changed();
    m_modified = false;
}

bool frmCalendar::save()
{
    if (m_problems->count() > 0) {
        m_status->setText(QStringLiteral("Not saved: mend what is listed below first."));
        return false;
    }
    QDir().mkpath(qmv::paths::confgDir());
    if (const QString why = writeCalendar(calendarPath(), m_calendar); !why.isEmpty()) {
        m_status->setText(QStringLiteral("Not saved: ") + why);
        return false;
    }
    m_modified = false;
    m_status->setText(QStringLiteral("Saved in ") + QDir::toNativeSeparators(calendarPath()));
    return true;
}

void frmCalendar::reject()
{
    if (m_modified &&
        ShowMessageBox(QStringLiteral("The calendar has changes that are not saved.\r\nClose "
                                      "it and lose them?"),
                       Title, msgbox::YesNo, msgbox::QuestionIcon) != frmMsgBox::Yes)
        return;
    QDialog::reject();
}

QString frmCalendar::chooseFile(const QString &current)
{
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    dialog.setNameFilter(QStringLiteral("qmv file(*.qmv)"));
    dialog.setDirectory(qmv::paths::dataDir());
    if (!current.isEmpty())
        dialog.selectFile(resolve(current));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (m_runFileDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return shortName(QDir::cleanPath(dialog.selectedFiles().constFirst()));
}

Period frmCalendar::editedPeriod() const
{
    return {m_first->date(), m_last->date(), m_file->text().trimmed(), m_note->text().trimmed()};
}

void frmCalendar::addPeriod()
{
    m_calendar.periods.append(editedPeriod());
    showPeriods();
    m_periods->selectRow(int(m_calendar.periods.size()) - 1);
    changed();
}

void frmCalendar::changePeriod()
{
    const int row = m_periods->currentRow();
    if (row < 0 || row >= m_calendar.periods.size())
        return;
    m_calendar.periods[row] = editedPeriod();
    showPeriods();
    m_periods->selectRow(row);
    changed();
}

void frmCalendar::removePeriod()
{
    const int row = m_periods->currentRow();
    if (row < 0 || row >= m_calendar.periods.size())
        return;
    m_calendar.periods.removeAt(row);
    showPeriods();
    changed();
}

void frmCalendar::periodPicked()
{
    const int row = m_periods->currentRow();
    if (row < 0 || row >= m_calendar.periods.size())
        return;
    const Period &period = m_calendar.periods.at(row);
    m_first->setDate(period.first);
    m_last->setDate(period.last);
    m_file->setText(period.file);
    m_note->setText(period.note);
    showMonth(period.first);
}

void frmCalendar::changed()
{
    m_modified = true;
    m_status->clear();
    m_problems->clear();
    m_problems->addItems(problems(m_calendar));
    showDays();
}

void frmCalendar::showPeriods()
{
    const QSignalBlocker quiet(m_periods);
    m_periods->setRowCount(int(m_calendar.periods.size()));
    for (int row = 0; row < m_periods->rowCount(); ++row) {
        const Period &period = m_calendar.periods.at(row);
        m_periods->setItem(row, 0, readOnlyItem(period.first.toString(DateFormat)));
        m_periods->setItem(row, 1, readOnlyItem(period.last.toString(DateFormat)));
        m_periods->setItem(row, 2, readOnlyItem(period.file));
        m_periods->setItem(row, 3, readOnlyItem(period.note));
    }
    m_periods->resizeColumnsToContents();
}

void frmCalendar::showMonth(const QDate &anyDay)
{
    m_month = QDate(anyDay.year(), anyDay.month(), 1);
    m_monthName->setText(QLocale().toString(m_month, QStringLiteral("MMMM yyyy")));
    showDays();
}

void frmCalendar::showDays()
{
    if (!m_month.isValid())
        return;
    m_days->clearContents();
    const QDate start = m_month.addDays(1 - m_month.dayOfWeek());
    for (int cell = 0; cell < WeeksShown * DaysPerWeek; ++cell) {
        const QDate date = start.addDays(cell);
        if (date.month() != m_month.month())
            continue;
        const Period *period = m_calendar.periodOn(date);
        const QString file = m_calendar.fileOn(date);
        auto *item = readOnlyItem(QStringLiteral("%1\n%2").arg(date.day()).arg(file));
        item->setTextAlignment(Qt::AlignTop | Qt::AlignLeft);
        item->setToolTip(period && !period->note.isEmpty()
                             ? QStringLiteral("%1: %2").arg(period->note, file)
                             : file);
        if (period)
            item->setBackground(
                PeriodTints[(period - m_calendar.periods.constData()) % std::size(PeriodTints)]);
        m_days->setItem(cell / DaysPerWeek, cell % DaysPerWeek, item);
    }
}
