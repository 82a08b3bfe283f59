#include "weekpage.h"

#include "weekindex.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <map>

namespace qmv::week {

namespace {

// Measures in page units.
constexpr int TitleHeight = 60;
constexpr int NoteLine = 26;
constexpr int MaxNotes = 8;
constexpr int ColumnHeaderHeight = 56;
constexpr int Line = 26;
constexpr int Padding = 4;
constexpr int Gap = 40; // between the title and the subtitle
constexpr int LeastWidth = 2000;

const QColor GridLine(0xC0, 0xC0, 0xC0);
const QColor Shade(0xF2, 0xF2, 0xF2);
const QColor HeaderShade(0xFF, 0xFF, 0xC0); // the editor's weekday labels
const QColor Faint(0x80, 0x80, 0x80);
const QColor NotSent(0xC0, 0x00, 0x00);

// Fonts and their metrics are made once each: making them is most of the cost of a line. They
// go before the application does, as fonts cannot outlive it.
struct PageFont
{
    QFont font;
    QFontMetricsF metrics;
};

std::map<int, PageFont> &madeFonts()
{
    static std::map<int, PageFont> made;
    return made;
}

const PageFont &pageFont(int pixels, bool bold)
{
    std::map<int, PageFont> &made = madeFonts();
    const int key = pixels * 2 + int(bold);
    auto found = made.find(key);
    if (found == made.end()) {
        if (made.empty())
            qAddPostRoutine([] { madeFonts().clear(); });
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setStyleHint(QFont::SansSerif);
        font.setPixelSize(pixels);
        font.setBold(bold);
        found = made.emplace(key, PageFont{font, QFontMetricsF(font)}).first;
    }
    return found->second;
}

void setFont(QPainter &painter, int pixels, bool bold = false)
{
    painter.setFont(pageFont(pixels, bold).font);
}

qreal textWidth(int pixels, bool bold, const QString &text)
{
    return pageFont(pixels, bold).metrics.horizontalAdvance(text);
}

const QString Legend = QStringLiteral(
    "B1, B2: the bell rings, CONT or PULSE, for the seconds given. Light: ON, OFF, or OC "
    "(left as it is). Each bell follows the program the schedule gives it that day; the light "
    "follows the rows of both.");

// The columns are as wide as their widest texts, so no text runs into the next column.
struct Columns
{
    qreal time = 0;
    qreal bell = 0;
    qreal light = 0;
    qreal day = 0;
    int width = 0;

    Columns()
    {
        time = textWidth(20, true, QStringLiteral("00:00")) + 4 * Padding;
        bell = std::max(textWidth(17, false, QStringLiteral("PULSE 255 s")),
                        textWidth(17, false, QStringLiteral("B1 P3"))) +
               2 * Padding;
        light = std::max(textWidth(17, false, QStringLiteral("Light")),
                         textWidth(17, false, QStringLiteral("OFF"))) +
                2 * Padding;
        day = std::max(2 * bell + light, textWidth(22, true, QStringLiteral("Wednesday")));
        width = int(std::ceil(std::max<qreal>(LeastWidth, time + Days * day)));
        if (width > time + Days * day)
            day = (width - time) / Days;
    }
    qreal dayLeft(int d) const { return time + d * day; }
};

const Columns &columns()
{
    static const Columns measured;
    return measured;
}

QString elided(const QString &text, int pixels, bool bold, qreal width)
{
    return pageFont(pixels, bold).metrics.elidedText(text, Qt::ElideRight, width);
}

int legendHeight()
{
    const QRectF box = pageFont(19, false).metrics.boundingRect(
        QRectF(0, 0, columns().width, 10 * NoteLine), Qt::TextWordWrap, Legend);
    return std::max(NoteLine, int(std::ceil(box.height())));
}

} // namespace

WeekPage::WeekPage(const WeekIndex &index, const QString &title, const QString &subtitle)
    : m_index(index), m_title(title), m_subtitle(subtitle)
{
    update({});
}

void WeekPage::update(const QStringList &notes)
{
    m_notes = notes;
    if (!m_index.scheduleNotSent().isEmpty())
        m_notes.prepend(
            QStringLiteral("The weekly schedule will not be sent: the controller is left with "
                           "whatever schedule it holds, so no day below shows its bells."));
    m_notes.removeDuplicates();
    m_lineTops.assign(1, 0);
    const int lines = m_index.lineCount();
    m_lineTops.reserve(lines + 1);
    for (int l = 0; l < lines; ++l)
        m_lineTops.push_back(m_lineTops.back() + m_index.lineEvents(l) * Line + Padding);
}

int WeekPage::width() const
{
    return columns().width;
}

int WeekPage::headerHeight(bool firstPage) const
{
    int height = TitleHeight + ColumnHeaderHeight;
    if (firstPage) {
        const int notes = int(std::min<qsizetype>(m_notes.size(), MaxNotes + 1));
        height += legendHeight() + notes * NoteLine + Padding;
    }
    return height;
}

int WeekPage::fullHeight() const
{
    return headerHeight(true) + m_lineTops.back();
}

void WeekPage::paintHeader(QPainter &painter, bool firstPage) const
{
    const Columns &c = columns();
    painter.setPen(Qt::black);
    const QRectF titleBox(0, 0, c.width, TitleHeight);
    setFont(painter, 22);
    painter.drawText(titleBox, Qt::AlignRight | Qt::AlignVCenter, m_subtitle);
    // A long file name gives way to the subtitle rather than running over it.
    const qreal room = c.width - textWidth(22, false, m_subtitle) - Gap;
    setFont(painter, 40, true);
    painter.drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter, elided(m_title, 40, true, room));

    int top = TitleHeight;
    if (firstPage) {
        setFont(painter, 19);
        painter.setPen(Faint);
        const int legend = legendHeight();
        painter.drawText(QRectF(0, top, c.width, legend),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, Legend);
        top += legend;
        painter.setPen(NotSent);
        for (int n = 0; n < m_notes.size() && n <= MaxNotes; ++n) {
            const QString text =
                n < MaxNotes ? m_notes.at(n)
                             : QStringLiteral("... and %1 more").arg(m_notes.size() - MaxNotes);
            painter.drawText(QRectF(0, top, c.width, NoteLine), Qt::AlignLeft | Qt::AlignVCenter,
                             elided(text, 19, false, c.width));
            top += NoteLine;
        }
        top += Padding;
    }

    painter.fillRect(QRectF(0, top, c.width, ColumnHeaderHeight), HeaderShade);
    painter.setPen(Qt::black);
    setFont(painter, 22, true);
    painter.drawText(QRectF(Padding, top, c.time, ColumnHeaderHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Time"));
    const int half = ColumnHeaderHeight / 2;
    const auto program = [](int n) {
        return n > 0 ? QStringLiteral("P%1").arg(n) : QStringLiteral("P?");
    };
    for (int d = 0; d < Days; ++d) {
        const qreal left = c.dayLeft(d) + Padding;
        setFont(painter, 22, true);
        painter.drawText(QRectF(left, top, c.day, half), Qt::AlignLeft | Qt::AlignVCenter,
                         dayName(d));
        setFont(painter, 17);
        const QRectF sub(left, top + half, c.bell, half);
        painter.drawText(sub, Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("B1 ") + program(m_index.bellProgram(0, d)));
        painter.drawText(sub.translated(c.bell, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("B2 ") + program(m_index.bellProgram(1, d)));
        painter.drawText(sub.translated(2 * c.bell, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("Light"));
    }
}

void WeekPage::paintLine(QPainter &painter, int line, int top, qreal from, qreal to) const
{
    const Columns &c = columns();
    const TimetableRow row = m_index.line(line);
    const int height = lineHeight(line);
    if (line % 2 == 1)
        painter.fillRect(QRectF(0, top, c.width, height), Shade);
    painter.setPen(Qt::black);
    setFont(painter, 20, true);
    painter.drawText(QRectF(Padding, top, c.time - Padding, Line), Qt::AlignLeft | Qt::AlignVCenter,
                     elided(row.time, 20, true, c.time - 2 * Padding));
    setFont(painter, 17);
    // A line of many events is drawn only where it is in sight.
    const int first = std::max(0, int((from - top) / Line));
    const int last = int(std::ceil((to - top) / Line));
    for (int d = 0; d < Days; ++d) {
        const QList<Event> &cell = row.cells[d];
        for (int e = first; e < cell.size() && e < last; ++e) {
            const Event &event = cell.at(e);
            const QRectF box(c.dayLeft(d) + Padding, top + e * Line, c.bell - Padding, Line);
            if (!event.notSent.isEmpty()) {
                painter.setPen(NotSent);
                const QString text =
                    QStringLiteral("not sent: P%1 row %2").arg(event.program).arg(event.row);
                painter.drawText(QRectF(box.left(), box.top(), c.day - 2 * Padding, Line),
                                 Qt::AlignLeft | Qt::AlignVCenter,
                                 elided(text, 17, false, c.day - 2 * Padding));
                continue;
            }
            painter.setPen(Qt::black);
            painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, ringText(event.bell1));
            painter.drawText(box.translated(c.bell, 0), Qt::AlignLeft | Qt::AlignVCenter,
                             ringText(event.bell2));
            painter.setPen(event.light == Light::Unchanged ? Faint : Qt::black);
            painter.drawText(box.translated(2 * c.bell, 0), Qt::AlignLeft | Qt::AlignVCenter,
                             lightText(event.light));
        }
    }
    painter.setPen(GridLine);
    painter.drawLine(QPointF(0, top + height), QPointF(c.width, top + height));
}

void WeekPage::paintDayLines(QPainter &painter, qreal top, qreal bottom) const
{
    painter.setPen(GridLine);
    for (int d = 0; d < Days; ++d)
        painter.drawLine(QPointF(columns().dayLeft(d), top), QPointF(columns().dayLeft(d), bottom));
}

int WeekPage::paint(QPainter &painter, int height, int from) const
{
    const bool firstPage = from == 0;
    paintHeader(painter, firstPage);
    int top = headerHeight(firstPage);
    const int tableTop = top - ColumnHeaderHeight;
    int line = from;
    // A page takes at least one line, so a line taller than a page cannot stop the printing.
    while (line < lineCount() && (line == from || top + lineHeight(line) <= height)) {
        paintLine(painter, line, top, top, top + lineHeight(line));
        top += lineHeight(line);
        ++line;
    }
    paintDayLines(painter, tableTop, top);
    return line;
}

std::pair<int, int> WeekPage::linesIn(qreal top, qreal bottom) const
{
    const qreal tableTop = headerHeight(true);
    // The first line that reaches into sight, then each line until one starts below it.
    const auto first = std::upper_bound(m_lineTops.begin(), m_lineTops.end() - 1, top - tableTop);
    const auto last = std::lower_bound(first, m_lineTops.end() - 1, bottom - tableTop);
    return {std::max(0, int(first - m_lineTops.begin()) - 1), int(last - m_lineTops.begin())};
}

void WeekPage::paintSheet(QPainter &painter, qreal top, qreal bottom) const
{
    const int tableTop = headerHeight(true);
    if (top < tableTop)
        paintHeader(painter, true);
    const auto [first, last] = linesIn(top, bottom);
    for (int line = first; line < last; ++line)
        paintLine(painter, line, tableTop + m_lineTops[line], top, bottom);
    paintDayLines(painter, std::max<qreal>(top, tableTop - ColumnHeaderHeight),
                  std::min<qreal>(bottom, tableTop + m_lineTops.back()));
}

QString WeekPage::sheetText(qreal top, qreal bottom) const
{
    QStringList parts;
    const int tableTop = headerHeight(true);
    if (top < tableTop) {
        parts << m_title << m_subtitle << m_notes;
        for (int d = 0; d < Days; ++d)
            parts << QStringLiteral("%1/%2")
                         .arg(m_index.bellProgram(0, d))
                         .arg(m_index.bellProgram(1, d));
    }
    const auto [first, last] = linesIn(top, bottom);
    for (int line = first; line < last; ++line) {
        const TimetableRow row = m_index.line(line);
        parts << QStringLiteral("%1 %2 %3").arg(line).arg(m_lineTops[line]).arg(row.time);
        for (const QList<Event> &cell : row.cells) {
            for (const Event &event : cell)
                parts << eventText(event);
            parts << QString();
        }
    }
    parts << QString::number(tableTop + m_lineTops.back());
    return parts.join(QLatin1Char('\n'));
}

bool printWeek(QPagedPaintDevice &device, const WeekPage &page)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal scale = qreal(device.width()) / page.width();
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
