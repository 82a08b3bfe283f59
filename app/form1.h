#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QFileDialog;

// The main window: the first window of the tool. It asks for a program file (New or Edit),
// records the choice in its public fields for the editor, and offers Exit.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);

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

    void openEditor();

private:
    void chooseProgramFile(bool editing);
    void confirmExit();
    void tell(const QString &text);

    FileDialogRunner m_runFileDialog;
};
