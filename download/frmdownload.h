#pragma once

#include "downloadsequence.h"

#include <QWidget>

#include <array>

class CellGrid;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The download window: shows the download sequence's progress in its grids and status box, lets
// the user confirm the clock and weekday, and offers CONTINUE, RETRY and EXIT. It reads nothing
// but the working files, through the sequence.
class frmDownload : public QWidget, private DownloadUser
{
    Q_OBJECT
public:
    // The editor's DOWNLOAD: loads the window the first time (its load runs before it is
    // visible), shows it beside the editor without owner and not modal, and returns it. Later
    // calls bring the same window to the front without loading it again; once it has been
    // closed, the next call loads a new window and its sequence starts afresh.
    static frmDownload *open();
    // The clock the window and the link tell the time by; nullptr restores the system clock.
    // Not owned.
    static void setClock(const qmv::Clock *clock);

    explicit frmDownload(QWidget *parent = nullptr);
    ~frmDownload() override;

    // True while the connection sequence or CONTINUE is running.
    bool isBusy() const { return m_sequence->isBusy(); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // The load step, once for each window: pictures, grid, time and weekday, program 1, and the
    // connect timer.
    void load();
    void tell(const QString &message) override;
    void confirmClock(const QString &time, int weekDayIndex) override;

    void buildLayout();
    void buildGrids();
    void connectSequence();
    void showStatus(DownloadSequence::Look look, const QString &text);
    void showClockSent(const QString &time);
    void showProgram(int program, const qmv::CellTable &bell);
    void showRowSending(int row);
    void offerPorts(const QStringList &present);
    void usePickedPort();
    void ResetTransferView();
    bool rowVisible(int row) const;
    void advanceTopRow();
    void deleteWhenIdle();

    DownloadSequence *m_sequence = nullptr;
    int weekDayIndex = 0;
    // What CONTINUE found in the time box, and what the status adds when it was no time.
    QString m_typedTime;
    QString m_clockNote;

    QLabel *lblPgmNo = nullptr;
    CellGrid *MSFlexGrid1 = nullptr;
    std::array<QLabel *, 8> imgRunStatus{};
    QLabel *imgSystemImage = nullptr;
    CellGrid *MSFlexGrid2 = nullptr;
    QLabel *lblTime = nullptr;
    QLineEdit *txtTime = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *comboWkDay = nullptr;
    QLabel *lblPort = nullptr;
    QComboBox *cboPort = nullptr;
    QPushButton *cmdContinue = nullptr;
    QPlainTextEdit *Text1 = nullptr;
    QPushButton *cmdRetry = nullptr;
    QPushButton *cmdExit = nullptr;

    bool m_closed = false;
    bool m_deleteWhenClosed = false;
};
