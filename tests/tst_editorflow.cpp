#include "editorfixture.h"
#include "form1.h"

#include <QFileDialog>

using namespace editortest;

class tst_EditorFlow : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m.setUp()); }
    void cleanup() { m.tearDown(); }

    void newSaveAndEditAgain();

private:
    static Form2 *openFromMainWindow(Form1 &main, const char *button, const QString &file);

    Fixture m;
};

Form2 *tst_EditorFlow::openFromMainWindow(Form1 &main, const char *button, const QString &file)
{
    main.setFileDialogRunner([file](QFileDialog &dialog) {
        dialog.selectFile(file);
        return int(QDialog::Accepted);
    });
    main.show();
    main.findChild<QPushButton *>(QLatin1String(button))->click();
    return main.editor();
}

void tst_EditorFlow::newSaveAndEditAgain()
{
    const QString path = qmv::paths::programFile(QStringLiteral("week1.qmv"));
    {
        Form1 main;
        Form2 *editor = openFromMainWindow(main, "cmdNewProg", QStringLiteral("week1"));
        QVERIFY(editor);
        QVERIFY(editor->isVisible());
        QVERIFY(!main.isVisible());
        auto *box = editor->findChild<QLineEdit *>(QStringLiteral("txtCellEdit"));
        auto *text4 = editor->findChild<QLineEdit *>(QStringLiteral("Text4"));
        auto click = [editor](const char *name) {
            editor->findChild<QPushButton *>(QLatin1String(name))->click();
        };

        QTest::keyClicks(box, QStringLiteral("07:30"));
        for (Qt::Key key : {Qt::Key_Right, Qt::Key_Return, Qt::Key_Right, Qt::Key_Right})
            QTest::keyClick(box, key);
        QTest::keyClicks(box, QStringLiteral("12"));
        QTest::keyClick(box, Qt::Key_Down);
        click("cmdNextProgram");
        click("cmdNextProgram");
        // Bell 1 follows program 1 on weekdays, Bell 2 program 2 on Sunday.
        QTest::keyClick(text4, Qt::Key_Backspace);
        QTest::keyClicks(text4, QStringLiteral("1"));
        for (int day = 1; day < 5; ++day) {
            QTest::keyClick(text4, Qt::Key_Right);
            QTest::keyClick(text4, Qt::Key_Backspace);
            QTest::keyClicks(text4, QStringLiteral("1"));
        }
        for (int day = 5; day < 14; ++day)
            QTest::keyClick(text4, Qt::Key_Right);
        QTest::keyClick(text4, Qt::Key_Backspace);
        QTest::keyClicks(text4, QStringLiteral("2"));
        click("cmdSaveProgram");

        QCOMPARE(m.answerer->messages(), QStringList{QStringLiteral("Program saved...")});
        QCOMPARE(editor->pgmSaved, true);
    }

    const QByteArray rows = joinedRows(14);
    const QByteArray saved = ":P1\r\n15\r\n07:30\tON\tCONT\t12\tOFF\tCONT\t\tOC\r" + rows +
                             "\r\n:P2\r\n15\r\n" + joinedRows(15) + "\r\n:P3\r\n15\r\n" +
                             joinedRows(15) +
                             "\r\n\r\n\r\n\r\n2\r\n1\t1\t1\t1\t1\t3\t3\r3\t3\t3\t3\t3\t3\t2\r\n";
    QCOMPARE(readAll(path), saved);

    Form1 main;
    Form2 *editor = openFromMainWindow(main, "cmdEditProg", path);
    QVERIFY(editor);
    auto *grid1 = editor->findChild<CellGrid *>(QStringLiteral("Grid1"));
    auto *grid2 = editor->findChild<CellGrid *>(QStringLiteral("Grid2"));
    QCOMPARE(editor->findChild<QLineEdit *>(QStringLiteral("txtPgmName"))->text(), "week1.qmv");
    QCOMPARE(grid1->rowTexts(0).join(QLatin1Char(',')), "07:30,ON,CONT,12,OFF,CONT,,OC");
    QCOMPARE(grid1->contents().rows.mid(1), qmv::defaultBellTable(14).rows);
    editor->findChild<QPushButton *>(QStringLiteral("cmdNextProgram"))->click();
    QCOMPARE(grid1->contents(), qmv::defaultBellTable());
    editor->findChild<QPushButton *>(QStringLiteral("cmdNextProgram"))->click();
    QCOMPARE(grid1->contents(), qmv::defaultBellTable());
    QCOMPARE(grid2->rowTexts(0).join(QLatin1Char(',')), "1,1,1,1,1,3,3");
    QCOMPARE(grid2->rowTexts(1).join(QLatin1Char(',')), "3,3,3,3,3,3,2");
    QCOMPARE(editor->findChild<QLineEdit *>(QStringLiteral("Text4"))->text(), "1");
    QCOMPARE(m.answerer->messages(), QStringList{QStringLiteral("Program saved...")});
    QCOMPARE(m.ended, 0);
}

QTEST_MAIN(tst_EditorFlow)
#include "tst_editorflow.moc"
