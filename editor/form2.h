#pragma once

#include "form2undo.h"
#include "programfile.h"

#include <QClipboard>
#include <QWidget>

#include <optional>

class CellGrid;
class QLabel;
class QLineEdit;
class QPushButton;
class QUndoGroup;

// The editor window: one bell program at a time in Grid1, the weekly schedule in Grid2, and the
// edit boxes laid over the current cell of each table. Nothing is ever typed into a table
// itself; txtCellEdit takes the keys and writes into Grid1's current cell.
class Form2 : public QWidget
{
    Q_OBJECT
public:
    Form2(bool pgmEditing, const QString &fileProgFile, const QString &fileProgFileTitle,
          QWidget *parent = nullptr);
    ~Form2() override;

    // Fills the tables and writes the working files. False when the window must not open:
    // the program file could not be read (the user has been told why), a working file could
    // not be written, or the user chose to end the tool rather than overwrite a file.
    bool load();

    // Both place txtCellEdit over Grid1's current cell with that cell's text. SetTextbox is the
    // first placement, at the cell's full height, and also puts Text4 over Grid2's current cell
    // and hides the schedule. PlaceTextbox follows every move of the cursor: it leaves the
    // bottom 200 twips of the cell uncovered where the box's text still fits above them, makes
    // the box read-only over the columns whose words change through Enter, and gives it the
    // focus.
    void SetTextbox();
    void PlaceTextbox();

    int pgmCurrent = 1;
    bool pgmSaved = false;

    // The shown program and the schedule as the screen has them, saved or not.
    qmv::CellTable shownBellTable() const;
    qmv::CellTable shownSchedule() const;
    // The three programs and the schedule as the screen has them: the shown program from the
    // table, the others from their working files. Nothing when a working file cannot be read.
    std::optional<qmv::ProgramFile> tablesShown() const;

signals:
    // A cell of either table, a row or the program shown has changed.
    void tablesEdited();
    // DOWNLOAD has brought the working files up to date; the download window reads them.
    void downloadRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void createHeaderLabels();
    void createScheduleControls();
    void applyLoadFonts();
    void placeHeaderLabels();
    bool writeNewWorkingFiles();
    bool splitProgramFile();

    // Both edit boxes are placed over their table's current cell the same way; only the bell
    // table's box leaves the bottom of its cell uncovered once the user is moving through it,
    // where its text still fits.
    static void placeBoxOverCell(QLineEdit *box, CellGrid *grid, int heightReduction);
    // Whenever a table scrolls, its box moves with the current cell, and is hidden while that
    // cell is out of view; a key that then reaches the table brings the cell back first.
    static void followCurrentCell(QLineEdit *box, CellGrid *grid);
    static bool passKeyToBox(QLineEdit *box, CellGrid *grid, QEvent *event);

    void cellEditKeyDown(int &keyCode);
    bool refuseCellEditInput(const QString &typed) const;
    void pasteIntoCellEdit(QClipboard::Mode mode);
    void cellEditContextMenu(const QPoint &pos);
    void boxKeyPress(QLineEdit *box, CellGrid *grid, QChar character);
    void setCurrentText(CellGrid *grid, const QString &text);

    // Every change the keys make to a cell or a row goes through the undo stack of the program
    // shown; the schedule's edits belong to program 3's.
    void createUndo();
    void showUndoStack();
    void editCell(CellGrid *grid, int row, int column, const QString &text, bool ownStep);
    void pushEdit(QUndoCommand *edit);
    void showEditedCell(CellGrid *grid, qmv::undo::Cell cell);

    void exitClicked();

    void nextProgramClicked();
    void prevPgmClicked();
    void moveToProgram(int target);
    void showScheduleGroup(bool shown);
    void placeCellEditAfterMove();

    void saveProgramClicked();
    void downloadClicked();
    bool writeShownProgram(const QString &title);

    // The table reports only changes to another cell, so a click on the cell under the box never
    // re-opens it.
    void scheduleCellEntered(int row, int column);
    void text4KeyDown(int keyCode);

    QUndoGroup *m_undo = nullptr;
    // Changes whenever a table's current cell does: typing merges into one step per visit.
    int m_visit = 0;

    const bool m_pgmEditing;
    const QString m_fileProgFile;
    const QString m_fileProgFileTitle;

    QPushButton *cmdPrevPgm = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *txtNextProgram = nullptr;
    QPushButton *cmdNextProgram = nullptr;
    QLabel *lblPgmName = nullptr;
    QLineEdit *txtPgmName = nullptr;

    QLabel *lblBell1 = nullptr;
    QLabel *lblBell2 = nullptr;
    QLabel *lblFan = nullptr;
    QLabel *lblTime = nullptr;
    QLabel *lblCond1 = nullptr;
    QLabel *lblAction1 = nullptr;
    QLabel *lblSeconds1 = nullptr;
    QLabel *lblCond2 = nullptr;
    QLabel *lblAction2 = nullptr;
    QLabel *lblSeconds2 = nullptr;
    QLabel *lblFanCond = nullptr;

    CellGrid *Grid1 = nullptr;
    QLineEdit *txtCellEdit = nullptr;

    QList<QLabel *> m_weekdayLabels; // Label3, Label4, Label8 ... Label12, Monday to Sunday
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    CellGrid *Grid2 = nullptr;
    QLineEdit *Text4 = nullptr;

    QPushButton *cmdDownload = nullptr;
    QPushButton *cmdSaveProgram = nullptr;
    QPushButton *cmdExit = nullptr;
};
