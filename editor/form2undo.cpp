#include "form2undo.h"

#include "cellgrid.h"
#include "form2.h"
#include "programfile.h"

#include <QAction>
#include <QUndoGroup>

namespace qmv::undo {

namespace {

constexpr int TypingId = 1;

} // namespace

QList<QKeySequence> undoKeys()
{
    return {QKeySequence(Qt::CTRL | Qt::Key_Z)};
}

QList<QKeySequence> redoKeys()
{
    return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)};
}

CellEdit::CellEdit(CellGrid *grid, const QList<CellChange> &changes, int visit, ShowCell show)
    : m_grid(grid), m_changes(changes), m_visit(visit), m_show(std::move(show))
{
}

void CellEdit::undo()
{
    for (auto change = m_changes.crbegin(); change != m_changes.crend(); ++change)
        m_grid->setCellText(change->cell.row, change->cell.column, change->before);
    m_show(m_grid, m_changes.first().cell);
}

void CellEdit::redo()
{
    for (const CellChange &change : std::as_const(m_changes))
        m_grid->setCellText(change.cell.row, change.cell.column, change.after);
    if (m_done)
        m_show(m_grid, m_changes.first().cell);
    m_done = true;
}

int CellEdit::id() const
{
    return m_visit == NoVisit ? -1 : TypingId;
}

bool CellEdit::mergeWith(const QUndoCommand *other)
{
    const auto *next = static_cast<const CellEdit *>(other);
    if (next->m_grid != m_grid || next->m_visit != m_visit || m_changes.size() != 1 ||
        next->m_changes.size() != 1 ||
        next->m_changes.first().cell.row != m_changes.first().cell.row ||
        next->m_changes.first().cell.column != m_changes.first().cell.column)
        return false;
    m_changes.first().after = next->m_changes.first().after;
    // Typing that ends where it began leaves nothing to undo.
    setObsolete(m_changes.first().after == m_changes.first().before);
    return true;
}

RowEdit::RowEdit(CellGrid *grid, Kind kind, int row, const QStringList &texts, Cell before,
                 Cell after, ShowCell show)
    : m_grid(grid), m_kind(kind), m_row(row), m_texts(texts), m_before(before), m_after(after),
      m_show(std::move(show))
{
}

void RowEdit::undo()
{
    if (m_kind == Append)
        m_grid->removeRow(m_row);
    else
        m_grid->insertRowTexts(m_row, m_texts);
    m_show(m_grid, m_before);
}

void RowEdit::redo()
{
    if (m_kind == Append)
        m_grid->insertRowTexts(m_row, m_texts);
    else
        m_grid->removeRow(m_row);
    if (m_done)
        m_show(m_grid, m_after);
    m_done = true;
}

} // namespace qmv::undo

void Form2::createUndo()
{
    // Kept for the whole time the editor is open: each program's steps wait while another
    // program is shown.
    m_undo = new QUndoGroup(this);
    for (int program = 1; program <= qmv::ProgramCount; ++program)
        new QUndoStack(m_undo);
    m_undo->setActiveStack(m_undo->stacks().first());
    QAction *undo = m_undo->createUndoAction(this);
    undo->setObjectName(QStringLiteral("actUndo"));
    undo->setShortcuts(qmv::undo::undoKeys());
    QAction *redo = m_undo->createRedoAction(this);
    redo->setObjectName(QStringLiteral("actRedo"));
    redo->setShortcuts(qmv::undo::redoKeys());
    addActions({undo, redo});
}

void Form2::showUndoStack()
{
    m_undo->setActiveStack(m_undo->stacks().at(pgmCurrent - 1));
}

void Form2::editCell(CellGrid *grid, int row, int column, const QString &text, bool ownStep)
{
    const QString before = grid->cellText(row, column);
    if (text == before)
        return;
    pushEdit(new qmv::undo::CellEdit(
        grid, {{{row, column}, before, text}}, ownStep ? qmv::undo::CellEdit::NoVisit : m_visit,
        [this](CellGrid *edited, qmv::undo::Cell cell) { showEditedCell(edited, cell); }));
}

void Form2::pushEdit(QUndoCommand *edit)
{
    m_undo->activeStack()->push(edit);
}

void Form2::showEditedCell(CellGrid *grid, qmv::undo::Cell cell)
{
    // Typing after an undo or a redo is a step of its own.
    ++m_visit;
    grid->setCurrentCell(cell.row, cell.column);
    grid->scrollTo(grid->currentIndex());
    // Also when the cell was current already: the box takes the cell's text back.
    if (grid == Grid1)
        PlaceTextbox();
    else
        scheduleCellEntered(cell.row, cell.column);
}
