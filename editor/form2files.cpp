#include "form2.h"

#include "cellgrid.h"
#include "lifecycle.h"
#include "msgbox.h"
#include "programcheck.h"
#include "programfile.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString ProgramNumberTitle = QStringLiteral("Program Number");
const QString WorkingFileTitle = QStringLiteral("qmv Program File");
const QString SaveTitle = QStringLiteral("qmv Program Save...");

// Before DOWNLOAD erases the controller: with findings in the tables it will send, asks whether
// to go on. True to download, false to go back to the editor.
bool confirmDownload(const qmv::ProgramFile &file)
{
    const QList<qmv::check::Finding> found = qmv::check::findings(file);
    if (found.isEmpty())
        return true;
    // The message window holds three lines: the first finding, the question, and how many more
    // the week view (Ctrl+T) lists.
    QString message = found.first().toString() + QStringLiteral("\r\nDownload anyway?");
    if (found.size() > 1)
        message += QStringLiteral(" (%1 more: Ctrl+T)").arg(found.size() - 1);
    // OK erases the controller: Enter must not do it unread.
    return ShowMessageBox(message, QStringLiteral("qmv Download"), msgbox::OkCancel,
                          msgbox::QuestionIcon, frmMsgBox::Cancel) == frmMsgBox::Ok;
}

} // namespace

bool Form2::splitProgramFile()
{
    QString error;
    const std::optional<qmv::ProgramFile> file = qmv::readProgramFile(m_fileProgFile, &error);
    if (!file) {
        ShowMessageBox(error + QStringLiteral("\r\nThe program file was not opened."),
                       WorkingFileTitle, msgbox::OkOnly, msgbox::QuestionIcon);
        return false;
    }
    if (QString why = qmv::splitIntoWorkingFiles(*file); !why.isEmpty()) {
        ShowMessageBox(why, WorkingFileTitle, msgbox::OkOnly, msgbox::QuestionIcon);
        return false;
    }
    Grid1->setContents(file->programs[0]);
    Grid2->setContents(file->schedule);
    return true;
}

bool Form2::writeNewWorkingFiles()
{
    // Written together or not at all, as when a file is opened: a half-written set would mix the
    // new program with the one edited before.
    qmv::ProgramFile file;
    file.programs.fill(Grid1->contents());
    file.schedule = Grid2->contents();
    if (QString why = qmv::splitIntoWorkingFiles(file); !why.isEmpty()) {
        ShowMessageBox(why, WorkingFileTitle, msgbox::OkOnly, msgbox::QuestionIcon);
        return false;
    }
    return true;
}

void Form2::nextProgramClicked()
{
    if (pgmCurrent >= qmv::ProgramCount) {
        ShowMessageBox(QStringLiteral("Max Allowed Programs Reached\r\n"), ProgramNumberTitle,
                       msgbox::OkOnly, msgbox::QuestionIcon);
        return;
    }
    moveToProgram(pgmCurrent + 1);
}

void Form2::prevPgmClicked()
{
    if (pgmCurrent <= 1) {
        ShowMessageBox(QStringLiteral("Program Number 1 Reached\r\n"), ProgramNumberTitle,
                       msgbox::OkOnly, msgbox::QuestionIcon);
        return;
    }
    moveToProgram(pgmCurrent - 1);
}

void Form2::moveToProgram(int target)
{
    const int leaving = pgmCurrent;
    // Only program 3 carries the schedule, and only Previous ever leaves it.
    const bool leavingSchedule = leaving == qmv::ProgramCount;
    const bool arrivingSchedule = target == qmv::ProgramCount;

    const qmv::CellTable schedule = Grid2->contents();
    if (QString why = qmv::writeWorkingFile(leaving, Grid1->contents(),
                                            leavingSchedule ? &schedule : nullptr);
        !why.isEmpty()) {
        ShowMessageBox(why + QStringLiteral("\r\nProgram %1 is still shown.").arg(leaving),
                       WorkingFileTitle, msgbox::OkOnly, msgbox::QuestionIcon);
        return;
    }
    Grid1->setCurrentCell(0, 0);
    if (leavingSchedule)
        Grid2->setCurrentCell(0, 0);

    // The file arrived at is read before anything changes: the working files can have been
    // changed from outside, and a program that cannot be shown must not become the current one
    // while the table still holds the one before.
    QString error;
    const std::optional<qmv::WorkingProgram> arriving =
        qmv::readWorkingFile(target, arrivingSchedule, &error);
    if (!arriving) {
        ShowMessageBox(error + QStringLiteral("\r\nProgram %1 is still shown.").arg(leaving),
                       WorkingFileTitle, msgbox::OkOnly, msgbox::QuestionIcon);
        placeCellEditAfterMove();
        return;
    }

    pgmCurrent = target;
    txtNextProgram->setText(QString::number(pgmCurrent));
    showUndoStack();
    showScheduleGroup(arrivingSchedule);
    if (arriving->schedule) {
        // Filling the table makes row 0, column 0 current again, which opens Text4 there.
        Grid2->setContents(*arriving->schedule);
        Text4->setText(Grid2->cellText(0, 0));
        Grid2->setCurrentCell(0, 0);
    }
    Grid1->setContents(arriving->bell);
    Grid1->setCurrentCell(0, 0);
    placeCellEditAfterMove();
}

void Form2::showScheduleGroup(bool shown)
{
    Grid2->setVisible(shown);
    Text4->setVisible(shown);
    for (QLabel *label : {m_weekdayLabels.at(0), m_weekdayLabels.at(1), Label5, Label6,
                          m_weekdayLabels.at(2), m_weekdayLabels.at(3), m_weekdayLabels.at(4),
                          m_weekdayLabels.at(5), m_weekdayLabels.at(6)})
        label->setVisible(shown);
    cmdSaveProgram->setEnabled(shown);
    cmdDownload->setEnabled(shown);
}

void Form2::saveProgramClicked()
{
    if (!writeShownProgram(SaveTitle))
        return;
    if (QString why = qmv::joinWorkingFiles(txtPgmName->text()); !why.isEmpty()) {
        ShowMessageBox(why + QStringLiteral("\r\nThe program was not saved."), SaveTitle,
                       msgbox::OkOnly, msgbox::QuestionIcon);
        return;
    }
    ShowMessageBox(QStringLiteral("Program saved..."), SaveTitle, msgbox::OkOnly,
                   msgbox::SavedIcon);
    pgmSaved = true;
}

void Form2::downloadClicked()
{
    // Until the tables change after a save, program 3's working file holds what they show.
    if (!pgmSaved && !writeShownProgram(QStringLiteral("qmv Download")))
        return;
    // The user may rather go back and mend what would not reach the controller as shown. The
    // tables checked are the ones the download takes; one it cannot read, it reports itself.
    if (const std::optional<qmv::ProgramFile> tables = tablesShown();
        tables && !confirmDownload(*tables))
        return;
    emit downloadRequested();
}

bool Form2::writeShownProgram(const QString &title)
{
    const qmv::CellTable schedule = Grid2->contents();
    if (QString why = qmv::writeWorkingFile(pgmCurrent, Grid1->contents(), &schedule);
        !why.isEmpty()) {
        ShowMessageBox(why, title, msgbox::OkOnly, msgbox::QuestionIcon);
        return false;
    }
    Grid1->setCurrentCell(0, 0);
    // Text4 follows Grid2's current cell by itself.
    Grid2->setCurrentCell(0, 0);
    // txtCellEdit's keys write into Grid1's current cell, so it must stand over it again.
    placeCellEditAfterMove();
    return true;
}

qmv::CellTable Form2::shownBellTable() const
{
    return Grid1->contents();
}

qmv::CellTable Form2::shownSchedule() const
{
    return Grid2->contents();
}

std::optional<qmv::ProgramFile> Form2::tablesShown() const
{
    qmv::ProgramFile file;
    for (int n = 1; n <= qmv::ProgramCount; ++n) {
        if (n == pgmCurrent) {
            file.programs[n - 1] = shownBellTable();
            continue;
        }
        QString error;
        const auto working = qmv::readWorkingFile(n, false, &error);
        if (!working)
            return std::nullopt;
        file.programs[n - 1] = working->bell;
    }
    file.schedule = shownSchedule();
    return file;
}
