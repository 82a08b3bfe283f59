#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class Form2;
class QFileDialog;
class QLockFile;

// The main window: the first window of the tool. It asks for a program file (New or Edit),
// records the choice in its public fields for the editor, and offers Exit.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // Start-up: the folders first, then the window. When a folder cannot be created the user is
    // told which one, and there is no window.
    static std::unique_ptr<Form1> start();
    static bool ensureFolders(QString *error);

    // The last file chosen with New or Edit; the editor reads these.
    bool pgmEditing = false;
    QString fileProgFile;
    QString fileProgFileTitle;

    // Runs the file dialog and returns its result code; tests answer the dialog here.
    using FileDialogRunner = std::function<int(QFileDialog &)>;
    void setFileDialogRunner(FileDialogRunner runner);

    // Opens the editor on the chosen file and hides this window for the rest of the run; when the
    // editor cannot load the file it has told the user why, and this window stays.
    void openEditor();
    Form2 *editor() const { return m_editor.get(); }

private:
    void chooseProgramFile(bool editing);
    void confirmExit();
    void showController();
    void tell(const QString &text);

    FileDialogRunner m_runFileDialog;
    std::unique_ptr<QLockFile> m_workingFolder; // held from New or Edit while the editor is open
    std::unique_ptr<Form2> m_editor;
};
