#include "form2.h"

#include "bellrules.h"
#include "cellgrid.h"
#include "schedulerules.h"
#include "twips.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>

namespace bell = qmv::bell;

namespace {

constexpr int CellEditMaxChars = 5;
constexpr int CellEditHeightReduction = 200; // twips

bool isUndoKey(const QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return false;
    const QKeySequence keys(static_cast<const QKeyEvent *>(event)->keyCombination());
    return qmv::undo::undoKeys().contains(keys) || qmv::undo::redoKeys().contains(keys);
}

bool isArrow(int keyCode)
{
    return keyCode == bell::LeftKey || keyCode == bell::UpKey || keyCode == bell::RightKey ||
           keyCode == bell::DownKey;
}

// The keys that deliver a character to the box, as opposed to keys that only go down and up.
bool deliversCharacter(const QKeyEvent *event)
{
    const int key = event->key();
    return !event->text().isEmpty() && key != Qt::Key_Delete && key != Qt::Key_Tab &&
           key != Qt::Key_Backtab;
}

} // namespace

void Form2::PlaceTextbox()
{
    const int row = Grid1->currentRow();
    const int column = Grid1->currentColumn();
    if (row < 0 || column < 0)
        return;
    txtCellEdit->setReadOnly(bell::isWordColumn(column));
    placeBoxOverCell(txtCellEdit, Grid1, CellEditHeightReduction);
    txtCellEdit->setText(Grid1->cellText(row, column));
    if (!txtCellEdit->isHidden())
        txtCellEdit->setFocus();
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Grid1)
        return passKeyToBox(txtCellEdit, Grid1, event);
    if (watched == Grid2)
        return passKeyToBox(Text4, Grid2, event);
    // The window's undo takes these keys, rather than the box's own history of its text.
    if ((watched == txtCellEdit || watched == Text4) && isUndoKey(event))
        return true;
    if (watched == Text4) {
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            text4KeyDown(bell::keyCodeOf(key->key()));
            if (deliversCharacter(key))
                boxKeyPress(Text4, Grid2, key->text().at(0));
        } else if (event->type() == QEvent::KeyRelease) {
            setCurrentText(Grid2, Text4->text());
        }
        // The box then handles every key itself, arrows included.
        return false;
    }
    if (watched != txtCellEdit)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        // One key press event of the box stands for the key going down and, for a key that
        // types something, the character it delivers.
        const int code = bell::keyCodeOf(key->key());
        int keyCode = code;
        cellEditKeyDown(keyCode);
        if (code != bell::NoKey && keyCode == 0)
            return true;
        if (deliversCharacter(key)) {
            boxKeyPress(txtCellEdit, Grid1, key->text().at(0));
            if (refuseCellEditInput(key->text()))
                return true;
        }
        if (key->matches(QKeySequence::Paste)) {
            pasteIntoCellEdit(QClipboard::Clipboard);
            return true;
        }
        return false;
    }
    // The middle button pastes the selection; it goes through the same filter as any paste.
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::MiddleButton) {
        if (QGuiApplication::clipboard()->supportsSelection())
            pasteIntoCellEdit(QClipboard::Selection);
        return true;
    }
    if (event->type() == QEvent::KeyRelease)
        setCurrentText(Grid1, txtCellEdit->text());
    return false;
}

void Form2::cellEditKeyDown(int &keyCode)
{
    const int row = Grid1->currentRow();
    const int column = Grid1->currentColumn();
    if (row < 0 || column < 0)
        return;

    if (keyCode == bell::EnterKey) {
        if (const auto word = bell::nextWord(column, Grid1->cellText(row, column))) {
            editCell(Grid1, row, column, *word, true);
            PlaceTextbox();
        }
        return;
    }
    if (!isArrow(keyCode) && keyCode != bell::DeleteKey)
        return;

    QStringList texts = Grid1->rowTexts(row);
    // The box keeps a bad time and gives it back to the cell at the key release, so the user
    // sees it and can correct it.
    bool leave = true;
    if (isArrow(keyCode) && column == bell::TimeColumn) {
        const bell::TimeCheck check = bell::checkTime(texts.at(column));
        texts[column] = check.cellText;
        leave = check.leave;
    } else if (isArrow(keyCode) &&
               (column == bell::Seconds1Column || column == bell::Seconds2Column)) {
        texts[column] = bell::checkSeconds(texts.at(column));
    }
    const bell::MovePlan plan =
        leave ? bell::planMove(bell::KeyCode(keyCode), row, column, Grid1->rowCount(), texts)
              : bell::MovePlan{};
    // What the check made of a cell the box then leaves is a step of its own; where the box
    // stays, the key release writes the typed text back within the same visit.
    editCell(Grid1, row, column, texts.at(column), plan.consumed);
    if (!plan.consumed)
        return;

    QList<qmv::undo::CellChange> copies;
    for (const bell::CellCopy &copy : plan.copies) {
        if (texts.at(copy.to) != texts.at(copy.from))
            copies.append({{row, copy.to}, texts.at(copy.to), texts.at(copy.from)});
        texts[copy.to] = texts.at(copy.from);
    }
    const auto show = [this](CellGrid *grid, qmv::undo::Cell cell) { showEditedCell(grid, cell); };
    if (!copies.isEmpty())
        pushEdit(new qmv::undo::CellEdit(Grid1, copies, qmv::undo::CellEdit::NoVisit, show));
    const qmv::undo::Cell from{row, column};
    const qmv::undo::Cell to{plan.row, plan.column};
    if (plan.removeRow)
        pushEdit(
            new qmv::undo::RowEdit(Grid1, qmv::undo::RowEdit::Remove, row, texts, from, to, show));
    if (plan.appendRow)
        pushEdit(new qmv::undo::RowEdit(Grid1, qmv::undo::RowEdit::Append, Grid1->rowCount(),
                                        qmv::defaultBellRow(), from, to, show));
    Grid1->setCurrentCell(plan.row, plan.column);
    keyCode = 0;
    PlaceTextbox();
}

bool Form2::refuseCellEditInput(const QString &typed) const
{
    if (txtCellEdit->isReadOnly() || typed.isEmpty() || !typed.at(0).isPrint())
        return false;
    const qsizetype kept = txtCellEdit->text().size() - txtCellEdit->selectedText().size();
    return kept + typed.size() > CellEditMaxChars;
}

void Form2::pasteIntoCellEdit(QClipboard::Mode mode)
{
    if (txtCellEdit->isReadOnly())
        return;
    QString pasted;
    for (QChar c : QGuiApplication::clipboard()->text(mode)) {
        if (c.isPrint())
            pasted.append(c);
    }
    const qsizetype kept = txtCellEdit->text().size() - txtCellEdit->selectedText().size();
    txtCellEdit->insert(pasted.left(qMax<qsizetype>(0, CellEditMaxChars - kept)));
    // No key release follows a paste from the menu or the mouse.
    setCurrentText(Grid1, txtCellEdit->text());
}

void Form2::cellEditContextMenu(const QPoint &pos)
{
    QMenu menu(txtCellEdit);
    menu.addAction(tr("&Copy"), txtCellEdit, &QLineEdit::copy)
        ->setEnabled(txtCellEdit->hasSelectedText());
    menu.addAction(tr("&Paste"), this, [this] { pasteIntoCellEdit(QClipboard::Clipboard); })
        ->setEnabled(!txtCellEdit->isReadOnly());
    menu.exec(txtCellEdit->mapToGlobal(pos));
}

// Key press of either edit box, before its character lands: the box loses its blanks, then the
// current cell takes the box's text. Backspace has not removed its character yet, so for it only
// the key release copies the result.
void Form2::boxKeyPress(QLineEdit *box, CellGrid *grid, QChar character)
{
    const QString trimmed = bell::trimBlanks(box->text());
    // Left alone when there is nothing to trim, so the caret stays where the user typed.
    if (trimmed != box->text())
        box->setText(trimmed);
    if (character != QChar(8))
        setCurrentText(grid, box->text());
}

void Form2::setCurrentText(CellGrid *grid, const QString &text)
{
    const int row = grid->currentRow();
    const int column = grid->currentColumn();
    if (row >= 0 && column >= 0)
        editCell(grid, row, column, text, false);
}

void Form2::placeCellEditAfterMove()
{
    // Unlike PlaceTextbox, the text is not cleared first. The read-only flag needs no step of its
    // own: moving the table's current cell to the first Time cell has re-placed the box already.
    placeBoxOverCell(txtCellEdit, Grid1, CellEditHeightReduction);
    txtCellEdit->setText(Grid1->cellText(Grid1->currentRow(), Grid1->currentColumn()));
    Grid1->setFocus();
    if (!txtCellEdit->isHidden())
        txtCellEdit->setFocus();
}

void Form2::scheduleCellEntered(int row, int column)
{
    // Emptying the table reports no current cell at all.
    if (row < 0 || column < 0)
        return;
    Text4->setText(QString());
    Text4->hide();
    placeBoxOverCell(Text4, Grid2, 0);
    Text4->setText(Grid2->cellText(row, column));
    // The box is part of the schedule and is never shown without it.
    if (Grid2->isHidden())
        return;
    Text4->show();
    Text4->setFocus();
}

void Form2::text4KeyDown(int keyCode)
{
    const int row = Grid2->currentRow();
    const int column = Grid2->currentColumn();
    if (row < 0 || column < 0)
        return;
    const qmv::schedule::SchedulePlan plan = qmv::schedule::planMove(
        bell::KeyCode(keyCode), row, column, Grid2->rowCount(), Grid2->columnCount());
    if (plan.check)
        editCell(Grid2, row, column, qmv::schedule::checkedCell(Grid2->cellText(row, column)),
                 plan.moves);
    if (plan.moves)
        Grid2->setCurrentCell(plan.row, plan.column);
    switch (plan.focus) {
    case qmv::schedule::Focus::TableThenBox:
        Grid2->setFocus();
        Text4->setFocus();
        break;
    case qmv::schedule::Focus::Box:
        Text4->setFocus();
        break;
    case qmv::schedule::Focus::None:
        break;
    }
}

void Form2::followCurrentCell(QLineEdit *box, CellGrid *grid)
{
    const int row = grid->currentRow();
    const int column = grid->currentColumn();
    if (row < 0 || column < 0)
        return;
    box->move(grid->cellRect(row, column, box->parentWidget()).topLeft());
    // Until the window is shown the table has no view to measure.
    if (!grid->isVisible())
        return;
    const bool inView = grid->isCellInView(row, column);
    if (inView == box->isVisible())
        return;
    if (inView) {
        box->show();
        if (grid->hasFocus())
            box->setFocus();
        return;
    }
    const bool focused = box->hasFocus();
    box->hide();
    // The keys wait at the table, which hands them on once the cell is back in view.
    if (focused)
        grid->setFocus();
}

bool Form2::passKeyToBox(QLineEdit *box, CellGrid *grid, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    if (event->type() == QEvent::KeyPress && box->isHidden() && grid->currentIndex().isValid()) {
        grid->scrollTo(grid->currentIndex());
        followCurrentCell(box, grid);
    }
    if (!box->isHidden()) {
        box->setFocus();
        QCoreApplication::sendEvent(box, event);
    }
    return true;
}
