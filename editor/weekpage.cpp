#include "weekpage.h"

#include <QFont>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

namespace qmv::week {

namespace {

// Measures in page units (the page is WeekPage::Width wide).
constexpr int TitleHeight = 60;
constexpr int NoteLine = 26;
constexpr int MaxNotes = 8;
constexpr int ColumnHeaderHeight = 56;
constexpr int Line = 26;
constexpr int Padding = 4;
constexpr int TimeWidth = 130;
constexpr int BellWidth = 104;
constexpr qreal DayWidth = qreal(WeekPage::Width - TimeWidth) / Days;

const QColor GridLine(0xC0, 0xC0, 0xC0);
const QColor Shade(0xF2, 0xF2, 0xF2);
const QColor HeaderShade(0xFF, 0xFF, 0xC0); // the editor's weekday labels
const QColor Faint(0x80, 0x80, 0x80);
const QColor NotSent(0xC0, 0x00, 0x00);

QFont pageFont(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

qreal dayLeft(int day)
{
    return TimeWidth + day * DayWidth;
}

const QString Legend = QStringLiteral(
    "B1, B2: the bell rings, CONT or PULSE, for the seconds given. Light: ON, OFF, or OC "
    "(left as it is). Each bell follows the program the schedule gives it that day; the light "
    "follows the rows of both.");

} // namespace

WeekPage::WeekPage(const WeekPlan &plan, const QStringList &notes, const QString &title,
                   const QString &subtitle)
    : m_plan(plan), m_rows(timetable(plan)), m_notes(notes), m_title(title), m_subtitle(subtitle)
{
    if (!plan.scheduleNotSent.isEmpty())
        m_notes.prepend(QStringLiteral("The weekly schedule will not be sent: ") +
                        plan.scheduleNotSent);
}

int WeekPage::headerHeight(bool firstPage) const
{
    int height = TitleHeight + ColumnHeaderHeight;
    if (firstPage) {
        const int notes = int(std::min<qsizetype>(m_notes.size(), MaxNotes + 1));
        height += (notes + 1) * NoteLine + Padding;
    }
    return height;
}

int WeekPage::rowHeight(int row) const
{
    qsizetype lines = 1;
    for (const QList<Event> &cell : m_rows.at(row).cells)
        lines = std::max(lines, cell.size());
    return int(lines) * Line + Padding;
}

int WeekPage::fullHeight() const
{
    int height = headerHeight(true);
    for (int r = 0; r < m_rows.size(); ++r)
        height += rowHeight(r);
    return height;
}

void WeekPage::paintHeader(QPainter &painter, bool firstPage) const
{
    painter.setPen(Qt::black);
    painter.setFont(pageFont(40, true));
    const QRectF titleBox(0, 0, Width, TitleHeight);
    painter.drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter, m_title);
    painter.setFont(pageFont(22));
    painter.drawText(titleBox, Qt::AlignRight | Qt::AlignVCenter, m_subtitle);

    int top = TitleHeight;
    if (firstPage) {
        painter.setFont(pageFont(19));
        painter.setPen(Faint);
        painter.drawText(QRectF(0, top, Width, NoteLine), Qt::AlignLeft | Qt::AlignVCenter, Legend);
        top += NoteLine;
        painter.setPen(NotSent);
        for (int n = 0; n < m_notes.size() && n <= MaxNotes; ++n) {
            const QString text =
                n < MaxNotes ? m_notes.at(n)
                             : QStringLiteral("... and %1 more").arg(m_notes.size() - MaxNotes);
            painter.drawText(QRectF(0, top, Width, NoteLine), Qt::AlignLeft | Qt::AlignVCenter,
                             text);
            top += NoteLine;
        }
        top += Padding;
    }

    painter.fillRect(QRectF(0, top, Width, ColumnHeaderHeight), HeaderShade);
    painter.setPen(Qt::black);
    painter.setFont(pageFont(22, true));
    painter.drawText(QRectF(Padding, top, TimeWidth, ColumnHeaderHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Time"));
    const int half = ColumnHeaderHeight / 2;
    for (int d = 0; d < Days; ++d) {
        const Day &day = m_plan.days[d];
        const qreal left = dayLeft(d) + Padding;
        painter.setFont(pageFont(22, true));
        painter.drawText(QRectF(left, top, DayWidth, half), Qt::AlignLeft | Qt::AlignVCenter,
                         dayName(d));
        painter.setFont(pageFont(17));
        const auto program = [](int n) {
            return n > 0 ? QStringLiteral("P%1").arg(n) : QStringLiteral("P?");
        };
        const QRectF sub(left, top + half, BellWidth, half);
        painter.drawText(sub, Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("B1 ") + program(day.bell1Program));
        painter.drawText(sub.translated(BellWidth, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("B2 ") + program(day.bell2Program));
        painter.drawText(sub.translated(2 * BellWidth, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("Light"));
    }
}

void WeekPage::paintRow(QPainter &painter, int row, int top) const
{
    const TimetableRow &line = m_rows.at(row);
    const int height = rowHeight(row);
    if (row % 2 == 1)
        painter.fillRect(QRectF(0, top, Width, height), Shade);
    painter.setPen(Qt::black);
    painter.setFont(pageFont(20, true));
    painter.drawText(QRectF(Padding, top, TimeWidth, Line), Qt::AlignLeft | Qt::AlignVCenter,
                     line.time);
    painter.setFont(pageFont(17));
    for (int d = 0; d < Days; ++d) {
        int y = top;
        for (const Event &event : line.cells[d]) {
            const QRectF box(dayLeft(d) + Padding, y, BellWidth, Line);
            y += Line;
            if (!event.notSent.isEmpty()) {
                painter.setPen(NotSent);
                painter.drawText(
                    QRectF(box.left(), box.top(), DayWidth - Padding, Line),
                    Qt::AlignLeft | Qt::AlignVCenter,
                    QStringLiteral("not sent: P%1 row %2").arg(event.program).arg(event.row));
                continue;
            }
            painter.setPen(Qt::black);
            painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, ringText(event.bell1));
            painter.drawText(box.translated(BellWidth, 0), Qt::AlignLeft | Qt::AlignVCenter,
                             ringText(event.bell2));
            painter.setPen(event.light == Light::Unchanged ? Faint : Qt::black);
            painter.drawText(box.translated(2 * BellWidth, 0), Qt::AlignLeft | Qt::AlignVCenter,
                             lightText(event.light));
        }
    }
    painter.setPen(GridLine);
    painter.drawLine(QPointF(0, top + height), QPointF(Width, top + height));
}

int WeekPage::paint(QPainter &painter, int height, int from) const
{
    const bool firstPage = from == 0;
    paintHeader(painter, firstPage);
    int top = headerHeight(firstPage);
    const int tableTop = top - ColumnHeaderHeight;
    int row = from;
    // A page takes at least one line, so a line taller than a page cannot stop the printing.
    while (row < m_rows.size() && (row == from || top + rowHeight(row) <= height)) {
        paintRow(painter, row, top);
        top += rowHeight(row);
        ++row;
    }
    painter.setPen(GridLine);
    for (int d = 0; d < Days; ++d)
        painter.drawLine(QPointF(dayLeft(d), tableTop), QPointF(dayLeft(d), top));
    return row;
}

bool printWeek(QPagedPaintDevice &device, const WeekPage &page)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal scale = qreal(device.width()) / WeekPage::Width;
    painter.scale(scale, scale);
    const int height = int(device.height() / scale);
    int from = 0;
    for (;;) {
        from = page.paint(painter, height, from);
        if (from >= page.lineCount())
            break;
        device.newPage();
    }
    return painter.end();
}

} // namespace qmv::week
