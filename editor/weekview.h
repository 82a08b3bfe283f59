#pragma once

#include "controllerstate.h"
#include "weekindex.h"

#include <QDateTime>
#include <QFutureWatcher>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

class CellGrid;
class Form2;
class QScrollArea;
class WeekSheet;
class QTextStream;

namespace qmv::week {
class WeekPage;
}

// The week at a glance: a read-only window beside the editor that draws the week's timetable as
// it will be printed, and prints it or saves it as a PDF. It follows the tables being edited,
// never the last saved file: the program on screen row by row as it changes, the other two in
// their working files whenever those change.
class WeekView : public QWidget
{
    Q_OBJECT
public:
    WeekView(const QString &fileTitle, Form2 *form);
    ~WeekView() override;

    // The whole week as the view has it.
    const qmv::week::WeekPlan &plan() const
    {
        m_plan = m_index.plan();
        return m_plan;
    }
    // What the header lists: what could not be read, then the findings of a check.
    const QStringList &notes() const;

    // Brings the view up to date with the tables now rather than a moment later.
    void refresh();

    void printWithPreview();
    void saveAsPdf();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A working file's state when last read: a change to either means reading it again.
    struct Stamp
    {
        QDateTime modified;
        qint64 size = -1;
        bool operator==(const Stamp &other) const
        {
            return modified == other.modified && size == other.size;
        }
    };

    void shownRowsChanged(int first, int last);
    void scheduleRefresh();
    // What a check of one program finds: its findings, and its rows that differ from the
    // controller's.
    struct Check
    {
        QStringList findings;
        QList<qmv::record::RowDifference> differences;
    };

    void readWorkingFile(int program);
    void check(int program, const qmv::CellTable &table);
    void takeNotes();
    // The scale that draws the page's smallest text as large as the bell table's.
    qreal readableScale() const;
    void fitSheet();

    const QString m_fileTitle;
    Form2 *const m_form;
    CellGrid *const m_grid1;
    CellGrid *const m_grid2;
    qmv::week::WeekIndex m_index;
    mutable qmv::week::WeekPlan m_plan;
    std::unique_ptr<qmv::week::WeekPage> m_page;

    int m_shown = 0; // the program the index has from Grid1; 0 before the first reading
    bool m_shownStale = true;
    int m_firstChanged = -1; // rows of Grid1 changed since the last reading, if any
    int m_lastChanged = -1;
    bool m_scheduleStale = true;
    std::array<Stamp, qmv::ProgramCount> m_stamps;
    std::array<Check, qmv::ProgramCount> m_checked;
    QStringList m_scheduleNotes;
    // What the download records say the controller holds, read each time the view is shown.
    qmv::record::ControllerState m_controller;
    QList<qmv::record::ScheduleDifference> m_scheduleDifferences;

    QScrollArea *m_scroll = nullptr;
    WeekSheet *m_sheet = nullptr;
    QString m_shownText; // what the sheet shows, as WeekPage::sheetText tells it
    QTimer m_refreshTimer;
    // Findings need every row of a program: they are worked out away from the window, and for
    // the shown program only once the typing pauses. A newer check of a program replaces the
    // one under way.
    QTimer m_checkTimer;
    std::array<QFutureWatcher<Check>, qmv::ProgramCount> m_checks;
};

namespace qmv::week {

// Gives the editor the small WEEK button and Ctrl+T that open the week view of the tables being
// edited.
void attachWeekView(Form2 *form, const QString &fileTitle);

// Writes the week of the program file as a PDF, one A4 page for an ordinary week, with no window.
// Returns 0, or 2 when the program file cannot be read or the PDF cannot be written (`err` says
// why).
int printWeekToPdf(const QString &programFile, const QString &pdfPath, QTextStream &err);

} // namespace qmv::week
