#include "cellgrid.h"
#include "form2.h"
#include "messageboxanswerer.h"
#include "paths.h"
#include "weekview.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The week view and the check before DOWNLOAD, driven through the editor window.
class tst_WeekView : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    std::unique_ptr<Form2> m_form;
    std::unique_ptr<qmvtest::MessageBoxAnswerer> m_answerer;

    CellGrid *grid(const char *name) const { return m_form->findChild<CellGrid *>(name); }
    void click(const char *name) const { m_form->findChild<QPushButton *>(name)->click(); }
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
            grid("Grid1")->setCellText(row, column, texts.at(column));
    }

private slots:
    void init()
    {
        qputenv("QMV_ROOT", m_root.path().toLocal8Bit());
        QVERIFY(QDir().mkpath(qmv::paths::dataDir()) && QDir().mkpath(qmv::paths::tmpDir()));
        m_answerer = std::make_unique<qmvtest::MessageBoxAnswerer>();
        m_form = std::make_unique<Form2>(false, qmv::paths::programFile("w.qmv"), "w.qmv");
        QVERIFY(m_form->load());
        m_form->show();
    }

    void cleanup()
    {
        m_form.reset();
        m_answerer.reset();
    }

    // Program 1 typed on screen, then left for its working file; the schedule edited on screen.
    void followsTheTablesAsEdited()
    {
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QTest::keyClick(m_form.get(), Qt::Key_T, Qt::ControlModifier);
        QTRY_VERIFY(view() && view()->isVisible());
        setRow(0, "08:00|ON|PULSE|5");
        // Every day rings program 3 in a new file, so program 1 shows nowhere yet.
        view()->refresh();
        QCOMPARE(monday(), QStringList());
        click("cmdNextProgram");
        click("cmdNextProgram");
        setRow(0, "09:30|OFF|CONT||ON|CONT|7|ON");
        QTRY_COMPARE(monday(), QStringList{"09:30 P3 B2 CONT 7 s ON"});
        grid("Grid2")->setCellText(0, 0, "1");
        QTRY_COMPARE(monday(),
                     (QStringList{"08:00 P1 B1 PULSE 5 s OC", "09:30 P3 B2 CONT 7 s ON"}));
        QCOMPARE(view()->notes(), QStringList());
        // The button stands where no other control does, the schedule's included.
        const QRect button = m_form->findChild<QWidget *>("cmdWeekView")->geometry();
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
        QFETCH(int, downloads);
        QFETCH(QString, more);
        click("cmdNextProgram");
        click("cmdNextProgram");
        for (int row = 2; row < 2 + lostRows; ++row)
            setRow(row, "10:00|ON|CONT|5");
        QSignalSpy requested(m_form.get(), &Form2::downloadRequested);
        QVERIFY(requested.isValid());
        m_answerer->queue(answer);
        click("cmdDownload");
        QCOMPARE(m_answerer->messages(),
                 QStringList{"program 3, row 3: not sent: it comes after row 1, where the program "
                             "ends\r\nDownload anyway?" +
                             more});
        QCOMPARE(requested.count(), downloads);
    }
};

QTEST_MAIN(tst_WeekView)
#include "tst_weekview.moc"
