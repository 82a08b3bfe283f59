#include "cellgrid.h"

#include <QHeaderView>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {

// Draws every cell on the table's cell colour with its column's alignment; keeping both per
// column instead of per item keeps tables of thousands of rows cheap to fill.
class CellDelegate : public QStyledItemDelegate
{
public:
    explicit CellDelegate(CellGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->displayAlignment = m_grid->columnAlignment(index.column());
        option->backgroundBrush = m_grid->cellColour();
        if (m_grid->isCurrentTextHidden() && index == m_grid->currentIndex())
            option->text.clear();
    }

private:
    CellGrid *m_grid;
};

// The grid line colour is a style hint, not a palette colour, in most styles.
class GridLineStyle : public QProxyStyle
{
public:
    explicit GridLineStyle(const QColor &lines) : m_lines(lines) {}

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_Table_GridLineColor)
            return int(m_lines.rgba());
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

private:
    QColor m_lines;
};

} // namespace

CellGrid::CellGrid(int rows, int columns, QWidget *parent) : QTableWidget(rows, columns, parent)
{
    m_alignments.fill(Qt::AlignLeft | Qt::AlignVCenter, columns);
    setItemDelegate(new CellDelegate(this));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setMinimumSectionSize(0);
    setVerticalScrollMode(ScrollPerItem);
    // The table scrolls by itself to keep its current cell in view whenever it is moved.
    setAutoScroll(true);
    setHorizontalScrollMode(ScrollPerItem);
    setSortingEnabled(false);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setWordWrap(false);
}

QString CellGrid::cellText(int row, int column) const
{
    const QTableWidgetItem *cell = item(row, column);
    return cell ? cell->text() : QString();
}

void CellGrid::setCellText(int row, int column, const QString &text)
{
    if (QTableWidgetItem *cell = item(row, column))
        cell->setText(text);
    else if (!text.isEmpty())
        setItem(row, column, new QTableWidgetItem(text));
}

QStringList CellGrid::rowTexts(int row) const
{
    QStringList texts;
    texts.reserve(columnCount());
    for (int column = 0; column < columnCount(); ++column)
        texts.append(cellText(row, column));
    return texts;
}

void CellGrid::appendRow(const QStringList &texts)
{
    insertRowTexts(rowCount(), texts);
}

void CellGrid::insertRowTexts(int row, const QStringList &texts)
{
    insertRow(row);
    for (int column = 0; column < columnCount() && column < texts.size(); ++column) {
        if (!texts.at(column).isEmpty())
            setItem(row, column, new QTableWidgetItem(texts.at(column)));
    }
}

qmv::CellTable CellGrid::contents() const
{
    qmv::CellTable table{columnCount(), {}};
    table.rows.reserve(rowCount());
    for (int row = 0; row < rowCount(); ++row)
        table.rows.append(rowTexts(row));
    return table;
}

void CellGrid::setContents(const qmv::CellTable &table)
{
    setRowCount(0);
    setRowCount(table.rowCount());
    // One repaint for the whole table rather than one per cell: the view learns of the new rows
    // from setRowCount and only has to draw them afterwards.
    model()->blockSignals(true);
    for (int row = 0; row < table.rowCount(); ++row) {
        const QStringList &texts = table.rows.at(row);
        for (int column = 0; column < columnCount() && column < texts.size(); ++column) {
            if (!texts.at(column).isEmpty())
                setItem(row, column, new QTableWidgetItem(texts.at(column)));
        }
    }
    model()->blockSignals(false);
    viewport()->update();
    setCurrentCell(0, 0);
}

void CellGrid::setColumnAlignment(int column, Qt::Alignment alignment)
{
    m_alignments[column] = alignment;
    viewport()->update();
}

Qt::Alignment CellGrid::columnAlignment(int column) const
{
    return m_alignments.value(column, Qt::AlignLeft | Qt::AlignVCenter);
}

void CellGrid::setCurrentTextHidden(bool hidden)
{
    m_currentTextHidden = hidden;
    viewport()->update();
}

void CellGrid::setColours(const QColor &cells, const QColor &gridLines, const QColor &background)
{
    m_cellColour = cells;
    QPalette colours = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, background);
    }
    // The current cell stays marked while a message window has the focus.
    colours.setColor(QPalette::Inactive, QPalette::Highlight,
                     colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(colours);
    auto *style = new GridLineStyle(gridLines);
    style->setParent(this);
    setStyle(style);
}

QRect CellGrid::cellRect(int row, int column, const QWidget *ancestor) const
{
    const QPoint inViewport(columnViewportPosition(column), rowViewportPosition(row));
    const QPoint inTable = inViewport + QPoint(frameWidth(), frameWidth());
    return QRect(mapTo(ancestor, inTable), QSize(columnWidth(column), rowHeight(row)));
}

bool CellGrid::isCellInView(int row, int column) const
{
    const QRect cell(columnViewportPosition(column), rowViewportPosition(row), columnWidth(column),
                     rowHeight(row));
    return viewport()->rect().contains(cell);
}
