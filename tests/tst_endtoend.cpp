#include "cellgrid.h"
#include "downloadfixture.h"
#include "fastclock.h"
#include "form1.h"
#include "form2.h"
#include "rowencoding.h"
#include "simulatorprocess.h"

#include <QFileDialog>
#include <QLabel>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace {

// What the controller must get for a program as the screen shows it: its rows up to the first
// without a time. `complete` turns false when a row is refused or follows that end.
QByteArray expectedRows(const QList<QStringList> &rows, bool &complete)
{
    QByteArray sent;
    bool ended = false;
    for (const QStringList &cells : rows) {
        const qmv::BellRowEncoding row = qmv::encodeBellRow(cells);
        ended = ended || row.outcome == qmv::BellRowEncoding::EndOfProgram;
        if (ended || row.outcome == qmv::BellRowEncoding::Refused)
            complete = complete && cells[0].trimmed().isEmpty();
        else
            sent += row.command;
    }
    return sent;
}

} // namespace

// The whole tool, from the main window to the controller.
class tst_EndToEnd : public DownloadFixture
{
    Q_OBJECT

    qmvsim::Simulator m_sim;
    qmvtest::FastClock m_clock{50.0};
    std::unique_ptr<Form1> m_form;

    // New, with the file name given, up to the editor.
    Form2 *newEditor(const QString &name)
    {
        m_form = Form1::start();
        m_form->show();
        m_form->setFileDialogRunner([name](QFileDialog &dialog) {
            dialog.selectFile(name);
            return int(QDialog::Accepted);
        });
        m_form->findChild<QPushButton *>("cmdNewProg")->click();
        return m_form->editor();
    }
    // DOWNLOAD, then CONTINUE with 08:30 typed and Tuesday picked; what the controller received.
    QByteArray download(Form2 *editor)
    {
        const qsizetype before = m_sim.received().size();
        editor->findChild<QPushButton *>("cmdDownload")->click();
        if (!openAndSettle() || !child("cmdContinue")->isEnabled())
            return "CONTINUE never enabled";
        confirmAndContinue(QStringLiteral("08:30"));
        if (!QTest::qWaitFor([this] { return m_ended == 1; }, 10000))
            return "never ended";
        m_window->close();
        // Past the last command: the controller has read the final "F".
        if (!QTest::qWaitFor([this] { return m_sim.received().endsWith('F'); }, 2000))
            return m_sim.received().mid(before) + " (no F)";
        return m_sim.received().mid(before);
    }

private slots:
    void initTestCase()
    {
        if (!qmvsim::Simulator::available())
            QSKIP("QMV_CONTROLLER_SIM does not name the controller simulator");
        setUpOnce(&m_clock);
        // One controller for every download: each ends with "F", the next starts with "B".
        QVERIFY(m_sim.start({"--erase-time=20"}));
    }
    // OK to every report, and to the question before a download whose findings it shows.
    void init() { setUpEach(QStringLiteral("cmdOKonly|cmdOK")); }
    void cleanup()
    {
        tearDownEach();
        m_form.reset();
    }

    // Program 3 edited and left with Previous while the window waits for CONTINUE: the
    // controller gets the tables as DOWNLOAD found them, and the report says they changed since.
    // The main window then shows what the controller holds.
    void editsWhileWaiting()
    {
        Form2 *editor = newEditor(QStringLiteral("waiting"));
        QVERIFY(editor);
        editor->findChild<QPushButton *>("cmdNextProgram")->click();
        editor->findChild<QPushButton *>("cmdNextProgram")->click();
        const qsizetype before = m_sim.received().size();
        editor->findChild<QPushButton *>("cmdDownload")->click();
        QVERIFY(openAndSettle());
        QVERIFY(child("cmdContinue")->isEnabled());
        QTest::keyClicks(editor->findChild<QLineEdit *>("txtCellEdit"), "14:14");
        editor->findChild<QPushButton *>("cmdPrevPgm")->click();
        m_answerer->clear();
        confirmAndContinue(QStringLiteral("08:30"));
        QTRY_COMPARE(m_ended, 1);
        QTRY_COMPARE(m_sim.received().mid(before), "BET08:303P1P2P3W33333333333333F");
        QCOMPARE(m_answerer->messages(),
                 QStringList{"System Programmed\r\nthe tables were changed after DOWNLOAD; the "
                             "controller holds them as they were then"});
        const Form1 main;
        const QString line = main.findChild<QLabel *>("lblController")->text();
        QVERIFY2(line.startsWith("Controller: waiting.qmv, programmed "), qPrintable(line));
        QVERIFY2(line.endsWith(", complete"), qPrintable(line));
    }

    void randomEdits_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 50; ++seed)
            QTest::addRow("seed %u", seed) << seed;
    }

    // Typing, Enter, Delete, moves, Previous, Next and SAVE at random, then DOWNLOAD: the
    // controller gets the rows the tables show, or the user is told the download is incomplete.
    void randomEdits()
    {
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        Form2 *editor = newEditor(QStringLiteral("random%1").arg(seed));
        QVERIFY(editor);
        auto *cell = editor->findChild<QLineEdit *>("txtCellEdit");
        auto *week = editor->findChild<QLineEdit *>("Text4");
        auto *grid1 = editor->findChild<CellGrid *>("Grid1");
        QList<QStringList> shown[3];
        for (int p = 0; p < 3; ++p)
            shown[p] = grid1->contents().rows;
        const QStringList texts{"07:45", "8:30", "12:00", "23:59", "5", "30", "x", "9", "17:1"};
        const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_Delete, Qt::Key_Up,     Qt::Key_Down,
                                Qt::Key_Left,   Qt::Key_Right,  Qt::Key_Return, Qt::Key_Right};
        const auto move = [&](const char *button) {
            shown[editor->pgmCurrent - 1] = grid1->contents().rows;
            editor->findChild<QPushButton *>(button)->click();
        };
        for (int step = 0; step < 40; ++step) {
            const quint32 what = random.bounded(20);
            if (what < 6)
                QTest::keyClicks(cell, texts[random.bounded(int(texts.size()))]);
            else if (what < 14)
                QTest::keyClick(cell, keys[random.bounded(8)]);
            else if (what < 15 && week->isVisible())
                QTest::keyClicks(week, QString::number(random.bounded(4)));
            else if (what < 17)
                move("cmdNextProgram");
            else if (what < 19)
                move("cmdPrevPgm");
            else
                editor->findChild<QPushButton *>("cmdSaveProgram")->click();
        }
        move("cmdNextProgram");
        move("cmdNextProgram");
        QCOMPARE(editor->pgmCurrent, 3);
        shown[2] = grid1->contents().rows;
        const QList<QStringList> schedule = editor->findChild<CellGrid *>("Grid2")->contents().rows;

        bool complete = true;
        QByteArray expected("BET08:303");
        for (int p = 0; p < 3; ++p)
            expected += "P" + QByteArray::number(p + 1) + expectedRows(shown[p], complete);
        const QByteArray week1 = schedule[0].join("").toLatin1(),
                         week2 = schedule[1].join("").toLatin1();
        if (QRegularExpression("^[123]{14}$").match(week1 + week2).hasMatch())
            expected += "W" + week1 + week2;
        else
            complete = false;
        expected += "F";
        m_answerer->clear();
        QCOMPARE(download(editor), expected);
        QCOMPARE(m_answerer->messages().last().startsWith("The download is incomplete."),
                 !complete);
    }
};

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
