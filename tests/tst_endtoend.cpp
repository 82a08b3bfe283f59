#include "clock.h"
#include "downloadfixture.h"
#include "editorfixture.h"
#include "form1.h"
#include "simulatorprocess.h"

#include <QFileDialog>
#include <QLabel>

// The whole tool, from the main window to the controller.
class tst_EndToEnd : public DownloadFixture
{
    Q_OBJECT

    qmvsim::Simulator m_sim;
    qmv::ShiftedClock m_clock{50.0};
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
    // DOWNLOAD, `meanwhile` done, then CONTINUE with 08:30 typed and Tuesday picked; what the
    // controller received.
    QByteArray download(
        Form2 *editor, const std::function<void()> &meanwhile = [] {})
    {
        const qsizetype before = m_sim.received().size();
        editor->findChild<QPushButton *>("cmdDownload")->click();
        if (!openAndSettle() || !child("cmdContinue")->isEnabled())
            return "CONTINUE never enabled";
        meanwhile();
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
        const auto editAndLeave = [&] {
            QTest::keyClicks(editor->findChild<QLineEdit *>("txtCellEdit"), "14:14");
            editor->findChild<QPushButton *>("cmdPrevPgm")->click();
            m_answerer->clear();
        };
        QCOMPARE(download(editor, editAndLeave), "BET08:303P1P2P3W33333333333333F");
        QCOMPARE(m_answerer->messages(),
                 QStringList{"System Programmed\r\nthe tables were changed after DOWNLOAD; the "
                             "controller holds them as they were then"});
        const Form1 main;
        const QString line = main.findChild<QLabel *>("lblController")->text();
        QVERIFY2(line.startsWith("Controller: waiting.qmv, programmed "), qPrintable(line));
        QVERIFY2(line.endsWith(", complete"), qPrintable(line));
    }

    // Keys typed into each program's first cell and into the schedule's, then DOWNLOAD: the
    // bytes the controller gets, worked out by hand, and whether the user hears all went well.
    void typedThenDownloaded_data()
    {
        QTest::addColumn<QStringList>("programs");
        QTest::addColumn<QString>("week");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("complete");
        const QString week = "{B}1{R}{B}2";
        const QByteArray tail = "P3W12333333333333F";
        // 23:59, bell 1 PULSE 5 s; midnight, bell 2 PULSE 7 s and the light on.
        QTest::newRow("firstandlastminute")
            << QStringList{"23:59{R}{E}{R}{E}{R}5", "00:00{R}{R}{E}{R}{E}{R}7{R}{E}"} << week
            << "BET08:303P1D23:5923105P2D00:0008707" + tail << true;
        QTest::newRow("rowafteremptytime") << QStringList{"08:00{D}{D}09:00"} << week
                                           << "BET08:303P1D08:0025500P2" + tail << false;
        // A bad time keeps the cursor, but Next still saves it: the row is refused, not sent.
        QTest::newRow("badtimeleftforthenextprogram")
            << QStringList{"24:00{R}", "", "12:30{R}{E}"} << week
            << QByteArray("BET08:303P1P2P3D12:3023900W12333333333333F") << false;
    }

    void typedThenDownloaded()
    {
        QFETCH(QStringList, programs);
        QFETCH(QString, week);
        Form2 *editor = newEditor(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(editor);
        for (int p = 0; p < 3; ++p) {
            keys(programs.value(p)).simulate(editor->findChild<QLineEdit *>("txtCellEdit"));
            if (p < 2)
                editor->findChild<QPushButton *>("cmdNextProgram")->click();
        }
        keys(week).simulate(editor->findChild<QLineEdit *>("Text4"));
        m_answerer->clear();
        QTEST(download(editor), "sent");
        QFETCH(bool, complete);
        const QString last = m_answerer->messages().value(m_answerer->messages().size() - 1);
        QCOMPARE(last == "System Programmed", complete);
        QCOMPARE(last.startsWith("The download is incomplete."), !complete);
    }
};

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
