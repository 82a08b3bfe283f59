#include "editorfixture.h"
#include "weekview.h"

// The week view and the check before DOWNLOAD, driven through the editor window.
class tst_WeekView : public EditorFixture
{
    Q_OBJECT

    WeekView *view() const { return m_form->findChild<WeekView *>("WeekView"); }
    QStringList monday() const
    {
        QStringList texts;
        for (const qmv::week::Event &event : view()->plan().days[0].events)
            texts.append(qmv::week::eventText(event));
        return texts;
    }
    void setRow(int row, const QString &cells) const
    {
        const QStringList texts = cells.split('|');
        for (int column = 0; column < texts.size(); ++column)
            grid1()->setCellText(row, column, texts.at(column));
    }

private slots:
    void init()
    {
        setUp();
        QVERIFY(openNew());
    }
    void cleanup() { tearDown(); }

    // Program 1 typed on screen, then left for its working file; the schedule edited on screen.
    void followsTheTablesAsEdited()
    {
        QVERIFY(show());
        QTest::keyClick(m_form.get(), Qt::Key_T, Qt::ControlModifier);
        QTRY_VERIFY(view() && view()->isVisible());
        setRow(0, "08:00|ON|PULSE|5");
        // Every day rings program 3 in a new file, so program 1 shows nowhere yet.
        view()->refresh();
        QCOMPARE(monday(), QStringList());
        goTo(3);
        setRow(0, "09:30|OFF|CONT||ON|CONT|7|ON");
        QTRY_COMPARE(monday(), QStringList{"09:30 P3 B2 CONT 7 s ON"});
        grid2()->setCellText(0, 0, "1");
        QTRY_COMPARE(monday(),
                     (QStringList{"08:00 P1 B1 PULSE 5 s OC", "09:30 P3 B2 CONT 7 s ON"}));
        QCOMPARE(view()->notes(), QStringList());
        // The button stands where no other control does, the schedule's included.
        const QRect button = control("cmdWeekView")->geometry();
        for (const QWidget *other : m_form->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QVERIFY2(other->objectName() == "cmdWeekView" || other->isWindow() ||
                         !other->geometry().intersects(button),
                     qPrintable(other->objectName()));
        // The button opens the same view again once it is closed.
        view()->close();
        click("cmdWeekView");
        QTRY_VERIFY(view()->isVisible());
    }

    void downloadAsksWhenRowsWouldNotBeSent_data()
    {
        QTest::addColumn<int>("lostRows"); // rows with times after the empty one
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("downloads");
        QTest::addColumn<QString>("more");
        QTest::newRow("cancelgoesback") << 1 << "cmdCancel" << 0 << "";
        QTest::newRow("okdownloadsanyway") << 2 << "cmdOK" << 1 << " (1 more: Ctrl+T)";
    }

    void downloadAsksWhenRowsWouldNotBeSent()
    {
        QFETCH(int, lostRows);
        QFETCH(QString, answer);
        QFETCH(QString, more);
        goTo(3);
        for (int row = 2; row < 2 + lostRows; ++row)
            setRow(row, "10:00|ON|CONT|5");
        m_answerer->queue(answer);
        click("cmdDownload");
        QCOMPARE(m_answerer->messages(),
                 QStringList{"program 3, row 3: not sent: it comes after row 1, where the program "
                             "ends\r\nDownload anyway?" +
                             more});
        QTEST(int(static_cast<DownloadCounter *>(m_form.get())->opened.size()), "downloads");
    }
};

QTEST_MAIN(tst_WeekView)
#include "tst_weekview.moc"
