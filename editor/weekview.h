#pragma once

#include "programfile.h"
#include "weekplan.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class Form2;
class QScrollArea;
class WeekSheet;
class QTextStream;

namespace qmv::week {
class WeekPage;
}

// The week at a glance: a read-only window beside the editor that draws the week's timetable as
// it will be printed, and prints it or saves it as a PDF. It follows the tables it is given as
// they change, never the last saved file.
class WeekView : public QWidget
{
    Q_OBJECT
public:
    // Gives the three programs and the schedule as they stand; `problems` takes what could not
    // be read.
    using Source = std::function<qmv::ProgramFile(QStringList *problems)>;

    WeekView(const QString &fileTitle, Source source, QWidget *parent = nullptr);
    ~WeekView() override;

    const qmv::week::WeekPlan &plan() const { return m_plan; }
    // What the header lists: what could not be read, then the findings of a check.
    const QStringList &notes() const { return m_notes; }

    // Reads the tables again, a moment later, so that a burst of changes costs one reading.
    void scheduleRefresh();
    void refresh();

    void printWithPreview();
    void saveAsPdf();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitSheet();

    const QString m_fileTitle;
    const Source m_source;
    qmv::week::WeekPlan m_plan;
    QStringList m_notes;
    std::unique_ptr<qmv::week::WeekPage> m_page;
    QScrollArea *m_scroll = nullptr;
    WeekSheet *m_sheet = nullptr;
    QTimer m_refreshTimer;
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
