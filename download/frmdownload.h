#pragma once

#include "qmvcomm.h"

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace qmv {
struct CellTable;
}

// The download window: connects to the controller, erases it, lets the user confirm the clock
// and weekday, then sends the clock, the three bell programs and the weekly schedule from the
// working files, and ends the program. It reads nothing but the working files.
class frmDownload : public QWidget
{
    Q_OBJECT
public:
    // The looks of the status box. Bold, once set by a failure, stays for the window's life.
    enum class Look
    {
        Progress,
        Start,
        Failure
    };
    Q_ENUM(Look)

    static constexpr std::chrono::milliseconds connectDelay{500};

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

    // The load step: pictures, grid, time and weekday, program 1, and the connect timer.
    void load();

    // The transfer of the programs, each after its header has been sent.
    void doRun();
    void doCut();

    int weekDayIndex = 0;
    int sendRow = 0;

    QLabel *lblPgmNo = nullptr;
    QTableWidget *MSFlexGrid1 = nullptr;
    std::array<QLabel *, 8> imgRunStatus{};
    QLabel *imgSystemImage = nullptr;
    QTableWidget *MSFlexGrid2 = nullptr;
    QLabel *lblTime = nullptr;
    QLineEdit *txtTime = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *comboWkDay = nullptr;
    QPushButton *cmdContinue = nullptr;
    QPlainTextEdit *Text1 = nullptr;
    QPushButton *cmdRetry = nullptr;
    QPushButton *cmdExit = nullptr;
    QTimer commMountTimer;

    Look look() const { return m_look; }
    // True while the connection sequence or CONTINUE is running.
    bool isBusy() const { return m_running > 0; }

signals:
    // A bell row of `program` has been written to the controller; the grid shows it selected.
    void rowSent(int program, int row);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    struct Transfer
    {
        int rowsSent = 0;
        int rowsUnconfirmed = 0;
        int rowsRefused = 0;
        QStringList programsNotSent;
        bool clockConfirmed = false;
        bool scheduleSent = false;
        bool scheduleConfirmed = false;
        QString portFailure;
        // A wait was ended from outside (the application quitting): nothing more is sent.
        bool abandoned = false;
    };

    class Running;

    void ConnectAndErase();
    void continueClicked();
    void retryClicked();
    void exitClicked();

    void LoadProgram2();
    void LoadProgram3();
    void SendWeekSchedule();
    void ResetTransferView();

    void buildLayout();
    void setProgramNumber(int program);
    void loadAndSend(int program);
    bool loadWorkingProgram(int program);
    bool showProgram1();
    void showProgram(const qmv::CellTable &bell);
    QStringList rowCells(int row) const;
    void setStatus(Look look, const QString &text);
    void setStatusText(const QString &text);
    void setLook(Look look);
    void failedPort(const QString &format);
    bool rowVisible(int row) const;
    void advanceTopRow();
    QString currentTimeText() const;
    bool send(const QByteArray &command);
    // Whether the running sequence has been overtaken (RETRY, the window closing, the program
    // ending) and must stop without touching the window.
    bool overtaken(int attempt) const;
    bool connectionEnds(int attempt, qmvComm::Outcome outcome);
    // Whether the transfer must stop: overtaken, or the port has failed.
    bool transferStopped() const;
    void finishDownload();
    QString incompleteReport() const;

    qmvComm &m_comm;
    Look m_look = Look::Start;
    int m_running = 0;
    int m_attempt = 0;
    int m_transferAttempt = 0;
    bool m_loaded = false;
    bool m_closed = false;
    bool m_deleteWhenClosed = false;
    bool m_scheduleLoaded = false;
    bool m_transferRan = false;
    int m_program = 1;
    Transfer m_transfer;
};
