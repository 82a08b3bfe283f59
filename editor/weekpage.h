#pragma once

#include "weekplan.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

class QPagedPaintDevice;
class QPainter;

namespace qmv::week {

class WeekIndex;

// The week's timetable drawn on a page: the same drawing on the screen, on paper and in a PDF.
// It draws in page units, whatever the device; the painter is scaled to fit. Each line's events
// are fetched from the index only when the line is drawn, so a sheet of thousands of lines costs
// what is in sight.
class WeekPage
{
public:
    // The smallest text on the page, in page units; the screen scales it to a readable size.
    static constexpr int SmallestText = 17;

    WeekPage(const WeekIndex &index, const QString &title, const QString &subtitle);

    // Takes the index's lines again, and the notes listed under the header of the first page:
    // what could not be read and the findings of a check. Each is listed once.
    void update(const QStringList &notes);
    const QStringList &notes() const { return m_notes; }

    int width() const;
    // The height the whole week needs on one page without end.
    int fullHeight() const;
    int lineCount() const { return int(m_lineTops.size()) - 1; }

    // Draws the header and the timetable's lines from `from` on, as many as fit in `height`
    // (at least one), and returns the first line left for the next page.
    int paint(QPainter &painter, int height, int from) const;
    // Draws the page as one sheet without end, only what lies between `top` and `bottom`.
    void paintSheet(QPainter &painter, qreal top, qreal bottom) const;
    // What paintSheet draws between `top` and `bottom`, told in text: the same text, the same
    // drawing.
    QString sheetText(qreal top, qreal bottom) const;

private:
    int headerHeight(bool firstPage) const;
    int lineHeight(int line) const { return m_lineTops[line + 1] - m_lineTops[line]; }
    void paintHeader(QPainter &painter, bool firstPage) const;
    void paintLine(QPainter &painter, int line, int top, qreal from, qreal to) const;
    void paintDayLines(QPainter &painter, qreal top, qreal bottom) const;
    // The lines of the sheet between `top` and `bottom`: the first and one past the last.
    std::pair<int, int> linesIn(qreal top, qreal bottom) const;

    const WeekIndex &m_index;
    QStringList m_notes;
    QString m_title;
    QString m_subtitle;
    std::vector<int> m_lineTops{0}; // from the first line's top; one more than there are lines
};

// Draws every page of the week on a printer or a PDF writer. False when the device cannot be
// painted on (a file that cannot be written).
bool printWeek(QPagedPaintDevice &device, const WeekPage &page);

} // namespace qmv::week
