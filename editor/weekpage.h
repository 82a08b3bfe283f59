#pragma once

#include "weekplan.h"

#include <QList>
#include <QString>
#include <QStringList>

class QPagedPaintDevice;
class QPainter;

namespace qmv::week {

// The week's timetable drawn on a page: the same drawing on the screen, on paper and in a PDF.
// It draws in units of a page 2000 wide, whatever the device; the painter is scaled to fit.
class WeekPage
{
public:
    static constexpr int Width = 2000;

    // `notes` are listed under the header of the first page (the findings of a check).
    WeekPage(const WeekPlan &plan, const QStringList &notes, const QString &title,
             const QString &subtitle);

    // The height the whole week needs on one page without end.
    int fullHeight() const;

    // Draws the header and the timetable's lines from `from` on, as many as fit in `height`
    // (at least one), and returns the first line left for the next page.
    int paint(QPainter &painter, int height, int from) const;

    int lineCount() const { return int(m_rows.size()); }

private:
    int headerHeight(bool firstPage) const;
    int rowHeight(int row) const;
    void paintHeader(QPainter &painter, bool firstPage) const;
    void paintRow(QPainter &painter, int row, int top) const;

    WeekPlan m_plan;
    QList<TimetableRow> m_rows;
    QStringList m_notes;
    QString m_title;
    QString m_subtitle;
};

// Draws every page of the week on a printer or a PDF writer. False when the device cannot be
// painted on (a file that cannot be written).
bool printWeek(QPagedPaintDevice &device, const WeekPage &page);

} // namespace qmv::week
