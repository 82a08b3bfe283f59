#pragma once

#include <QKeySequence>
#include <QStringList>
#include <QUndoCommand>

#include <functional>

class CellGrid;

// The editor's undoable edits. Each changes its table through the same CellGrid calls the keys
// use, so the unsaved mark and the week view follow an undo as they follow a keystroke.
namespace qmv::undo {

// Ctrl+Z; Ctrl+Shift+Z and Ctrl+Y, the two habits of redo.
QList<QKeySequence> undoKeys();
QList<QKeySequence> redoKeys();

struct Cell
{
    int row = 0;
    int column = 0;
};

struct CellChange
{
    Cell cell;
    QString before;
    QString after;
};

// Makes a cell of the table current and stands its edit box over it, once an edit has been
// undone or redone.
using ShowCell = std::function<void(CellGrid *grid, Cell cell)>;

// Texts of cells of one table. Typing in one cell during one visit is one step: such edits carry
// the visit's number and merge; the others carry NoVisit and stand alone.
class CellEdit : public QUndoCommand
{
public:
    static constexpr int NoVisit = -1;

    CellEdit(CellGrid *grid, const QList<CellChange> &changes, int visit, ShowCell show);

    void undo() override;
    void redo() override;
    int id() const override;
    bool mergeWith(const QUndoCommand *other) override;

private:
    CellGrid *m_grid;
    QList<CellChange> m_changes;
    int m_visit;
    ShowCell m_show;
    bool m_done = false; // pushed: the keys have placed the box already
};

// A row of the bell table appended or removed by a key, with where the cursor stood before and
// after the key.
class RowEdit : public QUndoCommand
{
public:
    enum Kind
    {
        Append,
        Remove,
    };

    RowEdit(CellGrid *grid, Kind kind, int row, const QStringList &texts, Cell before, Cell after,
            ShowCell show);

    void undo() override;
    void redo() override;

private:
    CellGrid *m_grid;
    Kind m_kind;
    int m_row;
    QStringList m_texts;
    Cell m_before;
    Cell m_after;
    ShowCell m_show;
    bool m_done = false;
};

} // namespace qmv::undo
