#pragma once

#include <QDialog>
#include <QHash>

class QFrame;
class QLabel;
class QPushButton;

// The tool's own modal message window. Styles: 1 OK and CANCEL, 2 YES and NO, 3 OK alone; any
// other style shows no button. Button codes: OK 1, CANCEL 2, YES 6, NO 7.
class frmMsgBox : public QDialog
{
    Q_OBJECT
public:
    enum Code
    {
        Closed = 0,
        Ok = 1,
        Cancel = 2,
        Yes = 6,
        No = 7
    };

    explicit frmMsgBox(QWidget *parent = nullptr);

    // Set before the window loads.
    int mCutMsgBoxIcon = 0;
    int mcutMsgBoxStyle = 0;
    QString mCutMsgBoxMsg;
    QString mCutMsgBoxTitle;
    // The code of the button Enter presses; Closed: the first button of the set.
    int mCutMsgBoxDefault = Closed;
    // Set by the button pressed; stays Closed when the window is closed without a button, a code
    // no caller takes for Yes or OK.
    int mCutMsgBoxValue = Closed;

    void load();

private:
    void fitMessage();
    QPushButton *addButton(QFrame *frame, const QString &name, const QString &caption, int left,
                           int code);

    QLabel *m_imgIcon = nullptr;
    QLabel *m_lblMsg = nullptr;
    QFrame *m_fraOk = nullptr;
    QFrame *m_fraYesNo = nullptr;
    QFrame *m_fraOkCancel = nullptr;
    QHash<const QPushButton *, int> m_codes;
};

// The button sets and icons callers pass to ShowMessageBox.
namespace msgbox {
enum Style
{
    OkCancel = 1,
    YesNo = 2,
    OkOnly = 3
};
enum Icon
{
    ControllerIcon = 1, // what the controller did or did not answer
    QuestionIcon = 2,   // questions, navigation limits and failures of files
    SavedIcon = 3       // the save report
};
} // namespace msgbox

// Shows the message window modally and returns the code of the button pressed. A question whose
// first button destroys something names a safer `defaultCode` for Enter.
int ShowMessageBox(const QString &message, const QString &title, int style, int icon,
                   int defaultCode = frmMsgBox::Closed);
