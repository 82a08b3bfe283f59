#pragma once

#include "programfile.h"

#include <QTableWidget>

// A table of text cells as the editor's two tables use it: no header rows or columns, rows
// scrolled one whole row at a time, per-column alignment, and cells drawn on their own colour
// over the background the table shows where it has no cells. A cell never filled reads as "".
class CellGrid : public QTableWidget
{
    Q_OBJECT
public:
    CellGrid(int rows, int columns, QWidget *parent = nullptr);

    QString cellText(int row, int column) const;
    void setCellText(int row, int column, const QString &text);
    QStringList rowTexts(int row) const;
    void appendRow(const QStringList &texts);
    void insertRowTexts(int row, const QStringList &texts);

    // The whole table as a block of texts, and back; the row count follows the block, and the
    // current cell is row 0, column 0 afterwards.
    qmv::CellTable contents() const;
    void setContents(const qmv::CellTable &table);

    void setColumnAlignment(int column, Qt::Alignment alignment);
    Qt::Alignment columnAlignment(int column) const;

    // For a table whose current cell has an edit box laid over it: the box shows the text, so
    // the cell draws none of its own.
    void setCurrentTextHidden(bool hidden);
    bool isCurrentTextHidden() const { return m_currentTextHidden; }

    void setColours(const QColor &cells, const QColor &gridLines, const QColor &background);
    QColor cellColour() const { return m_cellColour; }

    // Where a cell lies, in the coordinates of `ancestor`. It follows the table's scrolling and
    // needs no layout pass, so it also holds before the window is first shown.
    QRect cellRect(int row, int column, const QWidget *ancestor) const;
    // The whole cell lies inside the part of the table the user sees.
    bool isCellInView(int row, int column) const;

private:
    QList<Qt::Alignment> m_alignments;
    QColor m_cellColour = Qt::white;
    bool m_currentTextHidden = false;
};
