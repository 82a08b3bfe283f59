#include "fastclock.h"
#include "form1.h"
#include "form2.h"
#include "frmdownload.h"
#include "lifecycle.h"
#include "messageboxanswerer.h"
#include "paths.h"
#include "simulator.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// One typical use, from the main window to the controller.
class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void newProgramToController()
    {
        if (!qmvtest::Simulator::available())
            QSKIP("QMV_CONTROLLER_SIM does not name the controller simulator");
        QTemporaryDir root;
        qputenv("QMV_ROOT", root.path().toLocal8Bit());
        qmvtest::Simulator sim;
        QVERIFY(sim.start({"--erase-time=50"}));
        qmvtest::FastClock clock(50.0);
        frmDownload::setClock(&clock);
        int ended = 0;
        qmv::setEndHandler([&ended] { ++ended; });
        qmvtest::MessageBoxAnswerer answerer;
        answerer.setDefaultAnswer(QStringLiteral("cmdOKonly"));

        auto form = Form1::start();
        QVERIFY(form);
        form->show();
        form->setFileDialogRunner([](QFileDialog &dialog) {
            dialog.selectFile(QStringLiteral("week1"));
            return int(QDialog::Accepted);
        });
        form->findChild<QPushButton *>("cmdNewProg")->click();
        Form2 *editor = form->editor();
        QVERIFY(editor);
        auto click = [editor](const char *name) {
            editor->findChild<QPushButton *>(name)->click();
        };

        // Program 1, row 0: 07:45, bell 1 on in pulses for 5 s, bell 2 off, light on.
        auto *cell = editor->findChild<QLineEdit *>("txtCellEdit");
        QTest::keyClicks(cell, "07:45");
        for (Qt::Key key :
             {Qt::Key_Right, Qt::Key_Return, Qt::Key_Right, Qt::Key_Return, Qt::Key_Right})
            QTest::keyClick(cell, key);
        QTest::keyClicks(cell, "5");
        for (Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Return})
            QTest::keyClick(cell, key);
        click("cmdNextProgram");
        click("cmdNextProgram");
        // Bell 1 follows program 1 on Mondays.
        auto *week = editor->findChild<QLineEdit *>("Text4");
        QTest::keyClick(week, Qt::Key_Backspace);
        QTest::keyClicks(week, "1");
        QTest::keyClick(week, Qt::Key_Right);
        click("cmdSaveProgram");
        QVERIFY(QFile::exists(qmv::paths::programFile("week1.qmv")));
        click("cmdDownload");

        frmDownload *download = frmDownload::open();
        QTRY_VERIFY_WITH_TIMEOUT(download->findChild<QPushButton *>("cmdContinue")->isEnabled(),
                                 20000);
        download->findChild<QLineEdit *>("txtTime")->setText(QStringLiteral("08:30"));
        download->findChild<QComboBox *>("comboWkDay")->setCurrentIndex(2);
        download->findChild<QPushButton *>("cmdContinue")->click();

        QTRY_COMPARE(ended, 1);
        QCOMPARE(answerer.messages(), (QStringList{"Program saved...", "System Programmed"}));
        QTRY_COMPARE(sim.received(), QByteArray("BET08:303P1D07:4510305P2P3W13333333333333F"));
        download->close();
        frmDownload::setClock(nullptr);
        qmv::setEndHandler(nullptr);
        qmv::resetEnding();
    }
};

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
