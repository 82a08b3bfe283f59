#include "fastclock.h"
#include "form1.h"
#include "form2.h"
#include "frmdownload.h"
#include "lifecycle.h"
#include "messageboxanswerer.h"
#include "paths.h"
#include "rowencoding.h"
#include "simulator.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTableWidget>
#include <QtTest>

namespace {

QList<QStringList> tableTexts(const QTableWidget *table)
{
    QList<QStringList> rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < table->columnCount(); ++column)
            cells << (table->item(row, column) ? table->item(row, column)->text() : QString());
        rows << cells;
    }
    return rows;
}

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
class tst_EndToEnd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    qmvtest::Simulator m_sim;
    qmvtest::FastClock m_clock{50.0};
    qmvtest::MessageBoxAnswerer *m_answerer = nullptr;
    std::unique_ptr<Form1> m_form;
    int m_ended = 0;

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
    // DOWNLOAD, then CONTINUE with `time` typed and Tuesday picked; what the controller received.
    QByteArray download(Form2 *editor, const QString &time, QString *status = nullptr)
    {
        const qsizetype before = m_sim.received().size();
        editor->findChild<QPushButton *>("cmdDownload")->click();
        QPointer<frmDownload> window = frmDownload::open();
        if (status)
            *status = window->findChild<QPlainTextEdit *>("Text1")->toPlainText();
        // The half-second pause before connecting is the user's, not the link's.
        window->findChild<QTimer *>("commMountTimer")->start(1);
        auto *cont = window->findChild<QPushButton *>("cmdContinue");
        if (!QTest::qWaitFor([cont] { return cont->isEnabled(); }, 10000))
            return "CONTINUE never enabled";
        window->findChild<QLineEdit *>("txtTime")->setText(time);
        window->findChild<QComboBox *>("comboWkDay")->setCurrentIndex(2);
        cont->click();
        if (!QTest::qWaitFor([this] { return m_ended == 1; }, 10000))
            return "never ended";
        window->close();
        // Past the last command: the controller has read the final "F".
        if (!QTest::qWaitFor([this] { return m_sim.received().endsWith('F'); }, 2000))
            return m_sim.received().mid(before) + " (no F)";
        return m_sim.received().mid(before);
    }

private slots:
    void initTestCase()
    {
        if (!qmvtest::Simulator::available())
            QSKIP("QMV_CONTROLLER_SIM does not name the controller simulator");
        qputenv("QMV_ROOT", m_root.path().toLocal8Bit());
        // One controller for every download: each ends with "F", the next starts with "B".
        QVERIFY(m_sim.start({"--erase-time=20"}));
        frmDownload::setClock(&m_clock);
        qmv::setEndHandler([this] { ++m_ended; });
    }
    void init()
    {
        qmv::resetEnding();
        m_ended = 0;
        m_answerer = new qmvtest::MessageBoxAnswerer(this);
        // OK to every report, and to the question before a download whose findings it shows.
        m_answerer->setDefaultAnswer(QStringLiteral("cmdOKonly|cmdOK"));
    }
    void cleanup()
    {
        delete m_answerer;
        m_form.reset();
    }

    // A row after an empty time, an edit after SAVE, a 12-hour time for the clock.
    void newProgramToController()
    {
        Form2 *editor = newEditor("week1");
        QVERIFY(editor);
        auto click = [editor](const char *name) {
            editor->findChild<QPushButton *>(name)->click();
        };
        const auto press = [](QWidget *box, std::initializer_list<Qt::Key> keys) {
            for (Qt::Key key : keys)
                QTest::keyClick(box, key);
        };
        auto *cell = editor->findChild<QLineEdit *>("txtCellEdit");
        // Program 1, row 2: 09:00, after an empty row 1.
        press(cell, {Qt::Key_Down, Qt::Key_Down});
        QTest::keyClicks(cell, "09:00");
        press(cell, {Qt::Key_Up, Qt::Key_Up});
        // Row 0: 07:45, bell 1 on in pulses for 5 s, bell 2 off, light on.
        QTest::keyClicks(cell, "07:45");
        press(cell, {Qt::Key_Right, Qt::Key_Return, Qt::Key_Right, Qt::Key_Return, Qt::Key_Right});
        QTest::keyClicks(cell, "5");
        press(cell, {Qt::Key_Right, Qt::Key_Right, Qt::Key_Return});
        click("cmdNextProgram");
        click("cmdNextProgram");
        // Bell 1 follows program 1 on Mondays.
        auto *week = editor->findChild<QLineEdit *>("Text4");
        QTest::keyClick(week, Qt::Key_Backspace);
        QTest::keyClicks(week, "1");
        QTest::keyClick(week, Qt::Key_Right);
        click("cmdSaveProgram");
        QVERIFY(QFile::exists(qmv::paths::programFile("week1.qmv")));
        // Typed after SAVE: the controller must still get it. The moves place the box anew.
        press(cell, {Qt::Key_Right, Qt::Key_Left});
        QTest::keyClicks(cell, "11:11");

        QString status;
        QCOMPARE(download(editor, "8:30 PM", &status),
                 QByteArray("BET20:303P1D07:4510305P2P3D11:1125500W13333333333333F"));
        QCOMPARE(status, "These rows follow a row without a time and will not be sent:\n"
                         "Program 1: row 3");
        QCOMPARE(m_answerer->messages(),
                 (QStringList{"Program saved...",
                              "program 1, row 3: not sent: it comes after row 2, where the "
                              "program ends\r\nDownload anyway?",
                              "The download is incomplete.\r\nNot sent, because they follow a row "
                              "without a time: Program 1: row 3."}));
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
        auto *grid1 = editor->findChild<QTableWidget *>("Grid1");
        QList<QStringList> shown[3];
        for (int p = 0; p < 3; ++p)
            shown[p] = tableTexts(grid1);
        const QStringList texts{"07:45", "8:30", "12:00", "23:59", "5", "30", "x", "9", "17:1"};
        const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_Delete, Qt::Key_Up,     Qt::Key_Down,
                                Qt::Key_Left,   Qt::Key_Right,  Qt::Key_Return, Qt::Key_Right};
        const auto move = [&](const char *button) {
            shown[editor->pgmCurrent - 1] = tableTexts(grid1);
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
        shown[2] = tableTexts(grid1);
        const QList<QStringList> schedule = tableTexts(editor->findChild<QTableWidget *>("Grid2"));

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
        QCOMPARE(download(editor, "08:30"), expected);
        QCOMPARE(m_answerer->messages().last().startsWith("The download is incomplete."),
                 !complete);
    }
};

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
