#include "fastclock.h"
#include "frmdownload.h"
#include "lifecycle.h"
#include "messageboxanswerer.h"
#include "paths.h"
#include "programfile.h"
#include "simulator.h"
#include "twips.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using qmvtest::Simulator;
using Look = frmDownload::Look;
using Rows = QList<QStringList>;

namespace {

const QString NotResponding = QStringLiteral("SYSTEM NOT RESPONDING . . .");
const QString NotResponding2 = QStringLiteral("SYSTEM NOT RESPONDING 2 . . .");
const QString ErasedText =
    QStringLiteral("Erased\nCheck Time and WeekDay\nCorrect if necessary and press CONTINUE\n");
const QString EmptyRow = QStringLiteral("\tOFF\tCONT\t\tOFF\tCONT\t\tOC");

QStringList row(const QString &tabbed)
{
    return tabbed.split(QLatin1Char('\t'));
}

QString exactly(const QString &text)
{
    return QRegularExpression::anchoredPattern(QRegularExpression::escape(text));
}

qmv::CellTable bellTable(const QStringList &tabbedRows)
{
    qmv::CellTable table{qmv::BellColumns, {}};
    for (const QString &tabbed : tabbedRows)
        table.rows.append(row(tabbed));
    return table;
}

qmv::CellTable schedule(const QString &bell1, const QString &bell2)
{
    return {qmv::ScheduleColumns,
            {bell1.split(QString()).mid(1, 7), bell2.split(QString()).mid(1, 7)}};
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

struct StatusShown
{
    QString text;
    Look look;
    bool bold;
};

} // namespace

class tst_FrmDownload : public QObject
{
    Q_OBJECT

private:
    bool writePrograms(const QStringList &program1, const QStringList &program2 = {EmptyRow},
                       const QStringList &program3 = {EmptyRow},
                       const qmv::CellTable &week = schedule("3333333", "3333333"));
    // Opens the window the editor's way and lets its sequence run until it waits for the user.
    frmDownload *openAndSettle();
    void recordStatus(frmDownload *window);
    // The time and weekday the user confirms: 8:30 typed, Tuesday picked.
    void confirmTuesdayHalfPastEight(frmDownload *window);

    QTemporaryDir m_root;
    qmvtest::FastClock m_clock{50.0};
    qmvtest::MessageBoxAnswerer *m_answerer = nullptr;
    QPointer<frmDownload> m_window;
    QList<StatusShown> m_status;
    int m_ended = 0;

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void layout();
    void openedOnceBroughtToFront();

    void stages_data();
    void stages();
    void retryConnectsAfresh();
    void closedDuringWait_data();
    void closedDuringWait();
    void retryWhileErasingIsAwaited();
    void endingStopsTheWait();

    void timeStep_data();
    void timeStep();
    void wholeDownload();
    void transfer_data();
    void transfer();
    void gridFollowsTheRowSent_data();
    void gridFollowsTheRowSent();
    void rowSentStaysHighlightedUnderMessage();
};

bool tst_FrmDownload::writePrograms(const QStringList &program1, const QStringList &program2,
                                    const QStringList &program3, const qmv::CellTable &week)
{
    return qmv::writeWorkingFile(1, bellTable(program1)).isEmpty() &&
           qmv::writeWorkingFile(2, bellTable(program2)).isEmpty() &&
           qmv::writeWorkingFile(3, bellTable(program3), &week).isEmpty();
}

frmDownload *tst_FrmDownload::openAndSettle()
{
    m_window = frmDownload::open();
    recordStatus(m_window);
    const bool settled = QTest::qWaitFor(
        [this] { return m_window && !m_window->isBusy() && !m_window->commMountTimer.isActive(); },
        20000);
    return settled ? m_window.data() : nullptr;
}

void tst_FrmDownload::recordStatus(frmDownload *window)
{
    // One entry for each text shown, however many changes the text box reports for it.
    connect(window->Text1, &QPlainTextEdit::textChanged, window, [this, window] {
        const QString text = window->Text1->toPlainText();
        if (m_status.isEmpty() || m_status.last().text != text)
            m_status.append({text, window->look(), window->Text1->font().bold()});
    });
}

void tst_FrmDownload::confirmTuesdayHalfPastEight(frmDownload *window)
{
    window->txtTime->setText(QStringLiteral("8:30"));
    window->comboWkDay->setCurrentIndex(2);
}

void tst_FrmDownload::initTestCase()
{
    if (!Simulator::available())
        QSKIP("QMV_CONTROLLER_SIM does not name the controller simulator");
    QVERIFY(m_root.isValid());
    qputenv("QMV_ROOT", m_root.path().toLocal8Bit());
    QVERIFY(QDir().mkpath(qmv::paths::tmpDir()));
    frmDownload::setClock(&m_clock);
    qmv::setEndHandler([this] { ++m_ended; });
}

void tst_FrmDownload::init()
{
    qmv::resetEnding();
    m_ended = 0;
    m_status.clear();
    qmvComm::instance().replyBuffer.clear();
    m_answerer = new qmvtest::MessageBoxAnswerer(this);
    m_answerer->setDefaultAnswer(QStringLiteral("cmdOKonly"));
    QVERIFY(writePrograms({EmptyRow}));
}

void tst_FrmDownload::cleanup()
{
    // Its hold may look at the finished test's locals.
    delete m_answerer;
    if (m_window)
        m_window->close();
    QTRY_VERIFY(!m_window);
    qmvComm::instance().ClosePort();
    qmv::resetEnding();
}

void tst_FrmDownload::cleanupTestCase()
{
    qmv::setEndHandler(nullptr);
    frmDownload::setClock(nullptr);
}

void tst_FrmDownload::layout()
{
    Simulator sim;
    QVERIFY(sim.start({QStringLiteral("--silent"), QStringLiteral("R")}));
    QVERIFY(writePrograms({QStringLiteral("07:45\tON\tPULSE\t5\tOFF\tCONT\t\tOC"), EmptyRow}));
    const QString picture = qmv::paths::vendorPicture(QStringLiteral("systemImage.jpg"));
    QVERIFY(QDir().mkpath(QFileInfo(picture).path()));
    QImage image(290, 433, QImage::Format_RGB32);
    image.fill(Qt::darkGray);
    QVERIFY(image.save(picture, "JPG"));
    m_window = frmDownload::open();
    QVERIFY(QFile::remove(picture));
    QVERIFY(!m_window->imgSystemImage->pixmap().isNull());

    QCOMPARE(m_window->windowTitle(), QStringLiteral("Tavrel Systems - Download"));
    QCOMPARE(m_window->size(), QSize(qmv::tw(11910), qmv::tw(8625)));
    QCOMPARE(m_window->palette().color(QPalette::Window), QColor(0, 192, 192));
    for (const char *name : {"lblPgmNo", "MSFlexGrid1", "imgRunStatus_0", "imgRunStatus_7",
                             "imgSystemImage", "MSFlexGrid2", "lblTime", "txtTime", "Label1",
                             "comboWkDay", "cmdContinue", "Text1", "cmdRetry", "cmdExit"})
        QVERIFY2(m_window->findChild<QWidget *>(QLatin1String(name)), name);
    QCOMPARE(m_window->lblPgmNo->text(), QStringLiteral("Program No: 1"));
    QCOMPARE(m_window->lblPgmNo->pos(), QPoint(qmv::tw(1800), qmv::tw(960) - qmv::tw(500)));
    QCOMPARE(m_window->MSFlexGrid1->rowCount(), 2);
    QCOMPARE(m_window->MSFlexGrid1->item(0, 2)->text(), QStringLiteral("PULSE"));
    QCOMPARE(m_window->MSFlexGrid1->currentRow(), 0);
    QCOMPARE(m_window->MSFlexGrid2->item(0, 0), nullptr);
    // The clock the window tells the time by, in 24-hour form, and today's weekday.
    const QDateTime now = m_clock.now();
    QVERIFY(QRegularExpression(QStringLiteral("^([01]\\d|2[0-3]):[0-5]\\d$"))
                .match(m_window->txtTime->text())
                .hasMatch());
    QCOMPARE(m_window->comboWkDay->currentIndex(), now.date().dayOfWeek() % 7);
    QCOMPARE(m_window->weekDayIndex, now.date().dayOfWeek() % 7);
    QVERIFY(m_window->commMountTimer.isActive());
    QCOMPARE(m_window->commMountTimer.interval(), 500);
    QVERIFY(!m_window->cmdContinue->isEnabled());
    QVERIFY(!m_window->cmdRetry->isEnabled());
    QVERIFY(!m_window->cmdExit->isEnabled());
    QCOMPARE(m_window->Text1->toPlainText(), QString());
}

void tst_FrmDownload::openedOnceBroughtToFront()
{
    Simulator sim;
    QVERIFY(sim.start({QStringLiteral("--silent"), QStringLiteral("R")}));
    QVERIFY(writePrograms({QStringLiteral("07:45\tOFF\tCONT\t\tOFF\tCONT\t\tOC")}));
    QWidget editor;
    editor.show();
    m_window = frmDownload::open();
    QVERIFY(m_window->imgSystemImage->pixmap().isNull());
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_window->parentWidget(), nullptr);
    QVERIFY(!m_window->isModal());

    // The editor writes program 1 again: the open window does not read it a second time.
    QVERIFY(writePrograms({QStringLiteral("09:00\tOFF\tCONT\t\tOFF\tCONT\t\tOC")}));
    QCOMPARE(frmDownload::open(), m_window.data());
    QCOMPARE(m_window->MSFlexGrid1->item(0, 0)->text(), QStringLiteral("07:45"));

    m_window->close();
    QTRY_VERIFY(!m_window);
    QVERIFY(editor.isVisible());
    QCOMPARE(m_ended, 0);
    m_window = frmDownload::open();
    QCOMPARE(m_window->MSFlexGrid1->item(0, 0)->text(), QStringLiteral("09:00"));
    QVERIFY(m_window->commMountTimer.isActive());
}

void tst_FrmDownload::stages_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("status"); // pattern
    QTest::addColumn<Look>("look");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QString>("buttons"); // C, R, E for CONTINUE, RETRY, EXIT enabled
    QTest::addColumn<QString>("sent");    // pattern

    const QString quick = QStringLiteral("--erase-time");
    const QString silent = QStringLiteral("--silent");

    QTest::newRow("erased, waiting for the user")
        << QStringList{quick, QStringLiteral("100")} << QString() << QStringList()
        << exactly(ErasedText) << Look::Progress << false << "C"
        << "^BE$";
    QTest::newRow("no R") << QStringList{silent, QStringLiteral("R")} << QString()
                          << QStringList{NotResponding}
                          << exactly(QStringLiteral("System Not Responding. Check cables and make "
                                                    "sure System is Powered On\n"))
                          << Look::Failure << true << "RE"
                          << "^B{10,12}$";
    QTest::newRow("no A, C after the erase request gave up")
        << QStringList{silent, QStringLiteral("A"), quick, QStringLiteral("2400")} << QString()
        << QStringList{NotResponding2} << exactly(ErasedText) << Look::Progress << true << "CR"
        << "^BE$";
    QTest::newRow("no A, C while the erase request waits")
        << QStringList{silent, QStringLiteral("A"), quick, QStringLiteral("300")} << QString()
        << QStringList{NotResponding2, NotResponding2}
        << exactly(QStringLiteral("System stuck in Erase cycle.")) << Look::Failure << true << "R"
        << "^BE$";
    QTest::newRow("no C") << QStringList{silent, QStringLiteral("C")} << QString()
                          << QStringList{NotResponding2}
                          << exactly(QStringLiteral("System stuck in Erase cycle."))
                          << Look::Failure << true << "R"
                          << "^BE$";
    QTest::newRow("port cannot be opened")
        << QStringList() << "no port" << QStringList()
        << "^The serial port /nonexistent/ttyQMV cannot be opened: \\S.*$" << Look::Failure << true
        << "RE"
        << "^$";
    QTest::newRow("program 1 damaged")
        << QStringList() << "damaged" << QStringList()
        << "^Program 1 cannot be read, nothing is sent to the System.\n.*temp#1 is damaged: .+$"
        << Look::Failure << true << "E"
        << "^$";
    QTest::newRow("program 1 missing")
        << QStringList() << "missing" << QStringList()
        << "^Program 1 cannot be read, nothing is sent to the System.\n.*temp#1.*$" << Look::Failure
        << true << "E"
        << "^$";
}

void tst_FrmDownload::stages()
{
    QFETCH(QStringList, faults);
    QFETCH(QString, setup);
    QFETCH(QStringList, messages);
    QFETCH(QString, status);
    QFETCH(Look, look);
    QFETCH(bool, bold);
    QFETCH(QString, buttons);
    QFETCH(QString, sent);

    Simulator sim;
    QVERIFY(sim.start(faults));
    if (setup == QLatin1String("no port"))
        qputenv("QMV_SERIAL_PORT", "/nonexistent/ttyQMV");
    else if (setup == QLatin1String("damaged"))
        QVERIFY(writeBytes(qmv::paths::workingFile(1), ":P1\r\n3\r\n\tOFF\r\n"));
    else if (setup == QLatin1String("missing"))
        QVERIFY(QFile::remove(qmv::paths::workingFile(1)));

    frmDownload *window = openAndSettle();
    QVERIFY(window);
    QCOMPARE(m_answerer->messages(), messages);
    const QString shown = window->Text1->toPlainText();
    QVERIFY2(QRegularExpression(status).match(shown).hasMatch(), qPrintable(shown));
    QCOMPARE(window->look(), look);
    QCOMPARE(window->Text1->font().bold(), bold);
    QCOMPARE(window->Text1->font().pointSize(), look == Look::Failure ? 12 : 16);
    QCOMPARE(window->Text1->palette().color(QPalette::Text),
             look == Look::Failure ? QColor(255, 0, 0) : QColor(0, 0, 255));
    QCOMPARE(window->cmdContinue->isEnabled(), buttons.contains('C'));
    QCOMPARE(window->cmdRetry->isEnabled(), buttons.contains('R'));
    QCOMPARE(window->cmdExit->isEnabled(), buttons.contains('E'));
    QCOMPARE(qmvComm::instance().decoderRunning(), buttons.contains('C'));
    const QByteArray received = sim.received();
    QVERIFY2(QRegularExpression(sent).match(QString::fromLatin1(received)).hasMatch(),
             received.constData());
    QCOMPARE(m_ended, 0);

    if (window->cmdExit->isEnabled()) {
        window->cmdExit->click();
        QCOMPARE(m_ended, 1);
        QVERIFY(!qmvComm::instance().isOpen());
    }
}

// A controller that answers only from the 14th "B": the first attempt gives up after 10 to 12.
void tst_FrmDownload::retryConnectsAfresh()
{
    Simulator sim;
    QVERIFY(sim.start({QStringLiteral("--answer-after"), QStringLiteral("R:14"),
                       QStringLiteral("--erase-time"), QStringLiteral("100")}));
    frmDownload *window = openAndSettle();
    QVERIFY(window);
    QVERIFY(window->cmdRetry->isEnabled());
    QVERIFY(qmvComm::instance().isOpen());

    m_status.clear();
    window->cmdRetry->click();
    QVERIFY(!window->cmdRetry->isEnabled());
    QVERIFY(!window->cmdExit->isEnabled());
    QVERIFY(!qmvComm::instance().isOpen());
    QVERIFY(window->commMountTimer.isActive());
    QCOMPARE(window->Text1->toPlainText(), QString());

    QVERIFY(openAndSettle());
    QCOMPARE(m_answerer->messages(), QStringList{NotResponding});
    QVERIFY(m_status.size() >= 3);
    // Bold stays from the failure: "Connecting. . ." comes back in black, still bold.
    QCOMPARE(m_status.at(1).text, QStringLiteral("Connecting. . ."));
    QCOMPARE(m_status.at(1).look, Look::Start);
    QVERIFY(m_status.at(1).bold);
    QCOMPARE(m_status.at(2).text, QStringLiteral("Connecting. . .\nSystem Connected"));
    QCOMPARE(window->Text1->toPlainText(), ErasedText);
    QVERIFY(window->cmdContinue->isEnabled());
    QVERIFY(!window->cmdRetry->isEnabled());
    QCOMPARE(sim.received(), QByteArray(14, 'B') + "E");
}

void tst_FrmDownload::closedDuringWait_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<bool>("transfer"); // close during the transfer, after CONTINUE

    QTest::newRow("waiting for R")
        << QStringList{QStringLiteral("--silent"), QStringLiteral("R")} << false;
    QTest::newRow("waiting for the end of erasing")
        << QStringList{QStringLiteral("--silent"), QStringLiteral("C")} << false;
    QTest::newRow("waiting for H of a row")
        << QStringList{QStringLiteral("--silent"), QStringLiteral("H"),
                       QStringLiteral("--erase-time"), QStringLiteral("100")}
        << true;
}

void tst_FrmDownload::closedDuringWait()
{
    QFETCH(QStringList, faults);
    QFETCH(bool, transfer);

    QVERIFY(writePrograms({QStringLiteral("07:45\tON\tPULSE\t5\tOFF\tCONT\t\tOC")}));
    QWidget editor;
    editor.show();
    qmvComm &comm = qmvComm::instance();
    auto sim = std::make_unique<Simulator>();
    QVERIFY(sim->start(faults));
    m_window = frmDownload::open();

    bool closedWhileWaiting = false;
    QTimer closer;
    closer.setInterval(5);
    connect(&closer, &QTimer::timeout, this, [&] {
        const bool transferring =
            m_window && m_window->Text1->toPlainText() == QLatin1String("Program 1");
        if (comm.isWaiting() && transferring == transfer) {
            closer.stop();
            closedWhileWaiting = true;
            m_window->close();
        }
    });
    closer.start();
    if (transfer) {
        QTRY_VERIFY(m_window->cmdContinue->isEnabled());
        m_window->cmdContinue->click();
    }
    QTRY_VERIFY(!m_window);
    QVERIFY(closedWhileWaiting);
    QVERIFY(!comm.isOpen());
    QVERIFY(!comm.isWaiting());
    QVERIFY(!comm.decoderRunning());
    QCOMPARE(m_answerer->messages(), QStringList());
    QCOMPARE(m_ended, 0);
    QVERIFY(editor.isVisible());

    // DOWNLOAD again: a new window and a sequence of its own that works.
    sim = std::make_unique<Simulator>();
    QVERIFY(sim->start({QStringLiteral("--erase-time"), QStringLiteral("100")}));
    QVERIFY(openAndSettle());
    QCOMPARE(m_window->Text1->toPlainText(), ErasedText);
    QCOMPARE(sim->received(), QByteArray("BE"));
}

// After "System Not Erasing" RETRY is enabled while the end of erasing is still awaited: it ends
// that wait, and the next attempt runs on the same window.
void tst_FrmDownload::retryWhileErasingIsAwaited()
{
    qmvComm &comm = qmvComm::instance();
    Simulator sim;
    QVERIFY(sim.start({QStringLiteral("--answer-after"), QStringLiteral("A:2"),
                       QStringLiteral("--erase-time"), QStringLiteral("100")}));
    m_window = frmDownload::open();
    recordStatus(m_window);
    bool retried = false;
    QTimer presser;
    presser.setInterval(5);
    connect(&presser, &QTimer::timeout, this, [&] {
        if (m_window && comm.isWaiting() && m_window->cmdRetry->isEnabled()) {
            presser.stop();
            retried = true;
            m_window->cmdRetry->click();
        }
    });
    presser.start();
    QVERIFY(QTest::qWaitFor([&] { return retried; }, 10000));
    QVERIFY(openAndSettle());

    QCOMPARE(m_answerer->messages(), QStringList{NotResponding2});
    // The wait RETRY ended writes nothing more: the box is emptied and the new attempt starts.
    QStringList texts;
    for (const StatusShown &shown : std::as_const(m_status))
        texts << shown.text;
    const qsizetype notErasing = texts.indexOf(
        QStringLiteral("System Not Erasing. Check cables and make sure System is Powered On"));
    QVERIFY(notErasing > 0);
    QCOMPARE(texts.mid(notErasing + 1, 2),
             (QStringList{QString(), QStringLiteral("Connecting. . .")}));
    QCOMPARE(m_window->Text1->toPlainText(), ErasedText);
    QVERIFY(m_window->cmdContinue->isEnabled());
    QVERIFY(!m_window->cmdRetry->isEnabled());
    QVERIFY(comm.decoderRunning());
    QCOMPARE(sim.received(), QByteArray("BEBE"));
    QCOMPARE(m_ended, 0);
}

// The editor's EXIT while the window waits for the controller: the wait ends, the port closes.
void tst_FrmDownload::endingStopsTheWait()
{
    qmvComm &comm = qmvComm::instance();
    Simulator sim;
    QVERIFY(sim.start({QStringLiteral("--silent"), QStringLiteral("R")}));
    m_window = frmDownload::open();
    QTimer ender;
    ender.setInterval(5);
    connect(&ender, &QTimer::timeout, this, [&] {
        if (comm.isWaiting()) {
            ender.stop();
            qmv::endProgram();
        }
    });
    ender.start();
    QVERIFY(openAndSettle());
    QCOMPARE(m_ended, 1);
    QVERIFY(!comm.isOpen());
    QCOMPARE(m_answerer->messages(), QStringList());
    QCOMPARE(m_window->Text1->toPlainText(), QStringLiteral("Connecting. . ."));
}

void tst_FrmDownload::timeStep_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QByteArray>("sent");

    const QString timeProblems = QStringLiteral("Time Setting Problems . . .");
    QTest::newRow("no J") << QStringList{QStringLiteral("--silent"), QStringLiteral("J")}
                          << QStringList{timeProblems,
                                         QStringLiteral("ERROR\r\nSWITCH OFF System and retry")}
                          << QByteArray("BET08:303");
    QTest::newRow("J late, while the message is up")
        << QStringList{QStringLiteral("--delay"), QStringLiteral("J:1500")}
        << QStringList{timeProblems, QStringLiteral("System Programmed")}
        << QByteArray("BET08:303P1P2P3W33333333333333F");
}

void tst_FrmDownload::timeStep()
{
    QFETCH(QStringList, faults);
    QFETCH(QStringList, messages);
    QFETCH(QByteArray, sent);

    qmvComm &comm = qmvComm::instance();
    Simulator sim;
    QVERIFY(sim.start(faults << QStringLiteral("--erase-time") << QStringLiteral("100")));
    frmDownload *window = openAndSettle();
    QVERIFY(window);
    confirmTuesdayHalfPastEight(window);
    // The late reply comes while the first message is still up.
    m_answerer->setHold(
        [&] { return m_answerer->messages().isEmpty() && sent.endsWith('F') && !comm.flagJ; });
    window->cmdContinue->click();

    QCOMPARE(m_answerer->messages(), messages);
    QCOMPARE(m_ended, 1);
    QVERIFY(!comm.isOpen());
    QCOMPARE(sim.received(), sent);
}

// Three programs and the schedule, end to end, and what the controller received.
void tst_FrmDownload::wholeDownload()
{
    QVERIFY(writePrograms({QStringLiteral("07:45\tON\tPULSE\t5\tOFF\tCONT\t\tOC"),
                           QStringLiteral("12:00\tON\tCONT\t10\tON\tPULSE\t20\tON"), EmptyRow},
                          {QStringLiteral("16:30\tOFF\tPULSE\t9\tON\tCONT\t3\tOFF")},
                          {QStringLiteral("06:00\tOFF\tCONT\t\tOFF\tCONT\t\tOC"),
                           QStringLiteral("08:00\tON\tCONT\t120\tOFF\tCONT\t\tOC"), EmptyRow},
                          schedule("1111122", "2222211")));
    Simulator sim;
    QVERIFY(sim.start({QStringLiteral("--erase-time"), QStringLiteral("100")}));
    frmDownload *window = openAndSettle();
    QVERIFY(window);
    confirmTuesdayHalfPastEight(window);
    QList<int> programs;
    connect(window, &frmDownload::rowSent, this, [&](int program) { programs << program; });
    window->cmdContinue->click();

    QCOMPARE(sim.received(), QByteArray("BET08:303P1D07:4523105D12:0007110P2D16:3015903"
                                        "P3D06:0025500D08:00239120W11111222222211F"));
    QCOMPARE(m_answerer->messages(), QStringList{QStringLiteral("System Programmed")});
    const qmvtest::SeenMessage &last = m_answerer->seen().last();
    QCOMPARE(last.title, QStringLiteral("qmv..."));
    QCOMPARE(last.style, 3);
    QCOMPARE(last.icon, 1);
    QCOMPARE(m_ended, 1);
    QVERIFY(!qmvComm::instance().isOpen());
    QCOMPARE(programs, (QList<int>{1, 1, 2, 3, 3}));
    QCOMPARE(window->txtTime->text(), QStringLiteral("08:30"));
    QCOMPARE(window->lblPgmNo->text(), QStringLiteral("Program No: 3"));
    QCOMPARE(window->MSFlexGrid2->item(1, 6)->text(), QStringLiteral("1"));
    QStringList texts;
    for (const StatusShown &shown : std::as_const(m_status))
        texts << shown.text;
    QCOMPARE(texts.mid(texts.indexOf(QStringLiteral(" Setting Time and Day of Week"))),
             (QStringList{QStringLiteral(" Setting Time and Day of Week"),
                          QStringLiteral("Program 1"), QStringLiteral("Program 2"),
                          QStringLiteral("Program 3"), QStringLiteral("Weekly Schedule")}));
}

void tst_FrmDownload::transfer_data()
{
    QTest::addColumn<QStringList>("program1");
    QTest::addColumn<QString>("program2");     // "damaged", or one row
    QTest::addColumn<QString>("scheduleRow1"); // Bell 1's row of the schedule
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("pickedRow"); // picked in the grid before CONTINUE; -1 none
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QStringList>("messages"); // patterns

    const QString r0745 = QStringLiteral("07:45\tON\tPULSE\t5\tOFF\tCONT\t\tOC");
    const QString r0800 = QStringLiteral("08:00\tOFF\tCONT\t\tON\tCONT\t30\tON");
    const QString r0900 = QStringLiteral("09:00\tOFF\tCONT\t\tOFF\tCONT\t\tOFF");
    const QString threes = QStringLiteral("3333333");
    const QStringList none;
    const QString programmed = exactly(QStringLiteral("System Programmed"));
    const QString incomplete = QStringLiteral("The download is incomplete.\r\n");

    QTest::newRow("program 1 from the row picked")
        << QStringList{r0745, r0800, r0900, EmptyRow} << EmptyRow << threes << none << 2
        << QByteArray("BET08:303P1D09:0019100P2P3W33333333333333F") << QStringList{programmed};
    QTest::newRow("ends at a short time cell")
        << QStringList{r0745, QStringLiteral("8:00\tON\tCONT\t5\tOFF\tCONT\t\tOC"), r0900}
        << EmptyRow << threes << none << -1
        << QByteArray("BET08:303P1D07:4523105P2P3W33333333333333F") << QStringList{programmed};
    QTest::newRow("row of the last grid row")
        << QStringList{r0745, r0800} << r0900 << threes << none << -1
        << QByteArray("BET08:303P1D07:4523105D08:0009530"
                      "P2D09:0019100P3W33333333333333F")
        << QStringList{programmed};
    QTest::newRow("refused row, the transfer goes on")
        << QStringList{r0745, QStringLiteral("08:00\tON\tCONT\t300\tOFF\tCONT\t\tOC"), r0900}
        << EmptyRow << threes << none << -1
        << QByteArray("BET08:303P1D07:4523105D09:0019100P2P3W33333333333333F")
        << QStringList{
               exactly(QStringLiteral("Program 1, row 2 is not sent: the seconds \"300\" "
                                      "are not from 0 to 255.")),
               exactly(incomplete + QStringLiteral("1 of 3 bell rows were not confirmed by the "
                                                   "System (1 not sent because they could not be "
                                                   "encoded)."))};
    QTest::newRow("no H for the first row")
        << QStringList{r0745, r0900} << EmptyRow << threes
        << QStringList{QStringLiteral("--answer-after"), QStringLiteral("H:2")} << -1
        << QByteArray("BET08:303P1D07:4523105D09:0019100P2P3W33333333333333F")
        << QStringList{
               exactly(QStringLiteral("Prog Setting Problems . . .")),
               exactly(incomplete +
                       QStringLiteral("1 of 2 bell rows were not confirmed by the System."))};
    QTest::newRow("invalid schedule cell")
        << QStringList{r0745} << EmptyRow << QStringLiteral("1141111") << none << -1
        << QByteArray("BET08:303P1D07:4523105P2P3F")
        << QStringList{exactly(QStringLiteral("The weekly schedule is not sent: Bell 1, Wed "
                                              "holds \"4\", not a program 1, 2 or 3.")),
                       exactly(incomplete + QStringLiteral("The weekly schedule was not sent."))};
    QTest::newRow("no L") << QStringList{r0745} << EmptyRow << threes
                          << QStringList{QStringLiteral("--silent"), QStringLiteral("L")} << -1
                          << QByteArray("BET08:303P1D07:4523105P2P3W33333333333333F")
                          << QStringList{
                                 exactly(QStringLiteral("Week Schedule Setting Problems . . .")),
                                 exactly(incomplete + QStringLiteral("The weekly schedule was not "
                                                                     "confirmed."))};
    QTest::newRow("program 2 damaged")
        << QStringList{r0745} << "damaged" << threes << none << -1
        << QByteArray("BET08:303P1D07:4523105P2P3W33333333333333F")
        << QStringList{
               "^Program 2 cannot be read and will not be sent.\r\n.*temp#2 is damaged: .+$",
               exactly(incomplete + QStringLiteral("Program 2 was not sent."))};
}

void tst_FrmDownload::transfer()
{
    QFETCH(QStringList, program1);
    QFETCH(QString, program2);
    QFETCH(QString, scheduleRow1);
    QFETCH(QStringList, faults);
    QFETCH(int, pickedRow);
    QFETCH(QByteArray, sent);
    QFETCH(QStringList, messages);

    QVERIFY(writePrograms(program1, {program2}, {EmptyRow}, schedule(scheduleRow1, "3333333")));
    if (program2 == QLatin1String("damaged"))
        QVERIFY(writeBytes(qmv::paths::workingFile(2), ":P2\r\nx\r\n"));
    Simulator sim;
    QVERIFY(sim.start(faults << QStringLiteral("--erase-time") << QStringLiteral("100")));
    frmDownload *window = openAndSettle();
    QVERIFY(window);
    confirmTuesdayHalfPastEight(window);
    if (pickedRow >= 0)
        window->MSFlexGrid1->setCurrentCell(pickedRow, 3);
    window->cmdContinue->click();

    QCOMPARE(sim.received(), sent);
    const QStringList shown = m_answerer->messages();
    QCOMPARE(shown.size(), messages.size());
    for (int i = 0; i < shown.size(); ++i)
        QVERIFY2(QRegularExpression(messages.at(i)).match(shown.at(i)).hasMatch(),
                 qPrintable(shown.at(i)));
    QCOMPARE(m_ended, 1);
    QVERIFY(!qmvComm::instance().isOpen());
}

void tst_FrmDownload::gridFollowsTheRowSent_data()
{
    QTest::addColumn<int>("timedRows"); // of 15, the rest left without a time
    QTest::addColumn<int>("pickedRow");
    QTest::addColumn<QList<int>>("topRows"); // the first row shown as each row is sent

    QTest::newRow("fifteen rows") << 15 << 0
                                  << QList<int>{0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 6, 6, 6, 6};
    QTest::newRow("six rows") << 6 << 0 << QList<int>{0, 0, 0, 0, 0, 1};
    QTest::newRow("started at row 12") << 15 << 12 << QList<int>{6, 6, 6};
}

void tst_FrmDownload::gridFollowsTheRowSent()
{
    QFETCH(int, timedRows);
    QFETCH(int, pickedRow);
    QFETCH(QList<int>, topRows);

    QStringList rows;
    for (int i = 0; i < 15; ++i)
        rows << (i < timedRows ? QStringLiteral("%1:00\tOFF\tCONT\t\tON\tCONT\t30\tOC")
                                     .arg(i + 6, 2, 10, QLatin1Char('0'))
                               : EmptyRow);
    QVERIFY(writePrograms(rows));
    Simulator sim;
    QVERIFY(sim.start({QStringLiteral("--erase-time"), QStringLiteral("100")}));
    frmDownload *window = openAndSettle();
    QVERIFY(window);
    window->MSFlexGrid1->setCurrentCell(pickedRow, 0);

    QTableWidget *grid = window->MSFlexGrid1;
    QList<int> tops;
    QStringList faults;
    connect(window, &frmDownload::rowSent, this, [&](int program, int row) {
        if (program != 1)
            return;
        tops << grid->verticalScrollBar()->value();
        const QModelIndexList selected = grid->selectionModel()->selectedIndexes();
        if (grid->currentRow() != row || selected.size() != qmv::BellColumns ||
            selected.first().row() != row)
            faults << QStringLiteral("row %1 is not the one selected").arg(row);
        const int top = grid->rowViewportPosition(row);
        if (top < 0 || top + grid->rowHeight(row) > grid->viewport()->height())
            faults << QStringLiteral("row %1 is out of sight").arg(row);
    });
    window->cmdContinue->click();

    QCOMPARE(tops, topRows);
    QCOMPARE(faults, QStringList());
    QCOMPARE(m_answerer->messages(), QStringList{QStringLiteral("System Programmed")});
}

// The message of a row without reply takes the activation from the window; the row must still
// be drawn in the selection colour.
void tst_FrmDownload::rowSentStaysHighlightedUnderMessage()
{
    QVERIFY(writePrograms({QStringLiteral("07:45\tOFF\tCONT\t\tOFF\tCONT\t\tOC")}));
    // A desktop that greys the selection of windows in the background.
    const QPalette desktop = QApplication::palette();
    QPalette greying = desktop;
    greying.setColor(QPalette::Inactive, QPalette::Highlight, Qt::lightGray);
    QApplication::setPalette(greying);
    const auto restore = qScopeGuard([&] { QApplication::setPalette(desktop); });
    Simulator sim;
    QVERIFY(sim.start({QStringLiteral("--silent"), QStringLiteral("H"),
                       QStringLiteral("--erase-time"), QStringLiteral("100")}));
    frmDownload *window = openAndSettle();
    QVERIFY(window);
    QTableWidget *grid = window->MSFlexGrid1;
    bool looked = false;
    bool windowActive = true;
    QColor shown;
    QElapsedTimer up;
    m_answerer->setHold([&] {
        if (looked)
            return false;
        // The message window takes the activation a moment after it shows.
        if (!up.isValid())
            up.start();
        windowActive = window->isActiveWindow();
        if (windowActive && up.elapsed() < 2000)
            return true;
        looked = true;
        // The empty seconds cell of bell 1: nothing but the row's background.
        const QPoint inCell(grid->columnViewportPosition(3) + grid->columnWidth(3) / 2,
                            grid->rowViewportPosition(0) + grid->rowHeight(0) / 2);
        shown = grid->viewport()->grab().toImage().pixelColor(inCell);
        return false;
    });
    window->cmdContinue->click();

    QVERIFY(looked);
    QVERIFY(!windowActive);
    QCOMPARE(shown, greying.color(QPalette::Active, QPalette::Highlight));
    QCOMPARE(m_answerer->messages().first(), QStringLiteral("Prog Setting Problems . . ."));
}

QTEST_MAIN(tst_FrmDownload)
#include "tst_frmdownload.moc"
