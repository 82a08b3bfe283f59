#include "editorfixture.h"

using namespace editortest;

class tst_Schedule : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m.tearDown(); }

    void keySequences_data();
    void keySequences();
    void backspaceCopiesAtRelease();
    void clickMovesTheBoxWithoutACheck();
    void clickOnTheCurrentCellKeepsTheBox();

private:
    QPoint current() const { return {m.grid2()->currentColumn(), m.grid2()->currentRow()}; }

    Fixture m;
};

void tst_Schedule::init()
{
    QVERIFY(m.setUp());
    QVERIFY(m.openNew());
    QVERIFY(m.show());
    m.next();
    m.next();
    QCOMPARE(m.form->pgmCurrent, 3);
}

void tst_Schedule::keySequences_data()
{
    QTest::addColumn<QPoint>("start"); // column, row
    QTest::addColumn<QTestEventList>("keys");
    QTest::addColumn<QStringList>("cells"); // "column,row=text"; every other cell holds "3"
    QTest::addColumn<QPoint>("end");
    QTest::addColumn<QString>("boxText");

    // Backspace first: the box opens holding the cell's "3".
    auto typed = [](const QString &text, std::initializer_list<Qt::Key> keys) {
        QTestEventList list;
        list.addKeyClick(Qt::Key_Backspace);
        list.addKeyClicks(text);
        for (Qt::Key key : keys)
            list.addKeyClick(key);
        return list;
    };
    auto repeated = [](Qt::Key key, int times) {
        QTestEventList list;
        for (int i = 0; i < times; ++i)
            list.addKeyClick(key);
        return list;
    };
    using K = Qt::Key;

    // clang-format off
    QTest::newRow("valid kept, right") << QPoint(0, 0) << typed("2", {K::Key_Right})
        << QStringList{"0,0=2"} << QPoint(1, 0) << "3";
    QTest::newRow("seven replaced, right") << QPoint(0, 0) << typed("7", {K::Key_Right})
        << QStringList{} << QPoint(1, 0) << "3";
    QTest::newRow("emptied replaced, down") << QPoint(0, 0) << typed("", {K::Key_Down})
        << QStringList{} << QPoint(0, 1) << "3";
    // Which texts count as valid is the rules' test; here only that the check runs on leaving.
    QTest::newRow("letter replaced, left") << QPoint(3, 1) << typed("x", {K::Key_Left})
        << QStringList{} << QPoint(2, 1) << "3";
    QTest::newRow("fraction kept, up") << QPoint(5, 1) << typed("2.5", {K::Key_Up})
        << QStringList{"5,1=2.5"} << QPoint(5, 0) << "3";
    QTest::newRow("right wraps from sun of bell 1") << QPoint(6, 0) << typed("9", {K::Key_Right})
        << QStringList{} << QPoint(0, 1) << "3";
    QTest::newRow("left wraps from monday of bell 2") << QPoint(0, 1) << typed("1", {K::Key_Left})
        << QStringList{"0,1=1"} << QPoint(6, 0) << "3";
    QTest::newRow("up at bell 1 gives the typed text back") << QPoint(4, 0)
        << typed("9", {K::Key_Up}) << QStringList{"4,0=9"} << QPoint(4, 0) << "9";
    QTest::newRow("down at bell 2 gives the typed text back") << QPoint(2, 1)
        << typed("0", {K::Key_Down}) << QStringList{"2,1=0"} << QPoint(2, 1) << "0";
    QTest::newRow("left at the first cell gives the typed text back") << QPoint(0, 0)
        << typed("x", {K::Key_Left}) << QStringList{"0,0=x"} << QPoint(0, 0) << "x";
    QTest::newRow("right at the last cell gives the typed text back") << QPoint(6, 1)
        << typed("5", {K::Key_Right}) << QStringList{"6,1=5"} << QPoint(6, 1) << "5";
    QTest::newRow("no arrow, no check") << QPoint(3, 0)
        << typed("8", {K::Key_Return, K::Key_Escape, K::Key_Home, K::Key_End})
        << QStringList{"3,0=8"} << QPoint(3, 0) << "8";
    QTest::newRow("keys the box ignores leave the cell") << QPoint(2, 0)
        << typed("1", {K::Key_PageDown, K::Key_PageUp, K::Key_F5})
        << QStringList{"2,0=1"} << QPoint(2, 0) << "1";
    QTest::newRow("thirteen rights walk both rows") << QPoint(0, 0) << repeated(K::Key_Right, 13)
        << QStringList{} << QPoint(6, 1) << "3";
    QTest::newRow("thirteen lefts walk back") << QPoint(6, 1) << repeated(K::Key_Left, 13)
        << QStringList{} << QPoint(0, 0) << "3";
    QTest::newRow("typed cells along the way") << QPoint(5, 0)
        << [&] {
               QTestEventList list = typed("1", {K::Key_Right});
               list.addKeyClick(K::Key_Backspace);
               list.addKeyClicks(QStringLiteral("4"));
               list.addKeyClick(K::Key_Right);
               list.addKeyClick(K::Key_Backspace);
               list.addKeyClicks(QStringLiteral("2"));
               list.addKeyClick(K::Key_Up);
               return list;
           }()
        << QStringList{"5,0=1", "0,1=2"} << QPoint(0, 0) << "3";
    // clang-format on
}

void tst_Schedule::keySequences()
{
    QFETCH(QPoint, start);
    QFETCH(QTestEventList, keys);
    QFETCH(QStringList, cells);
    QFETCH(QPoint, end);
    QFETCH(QString, boxText);

    m.grid2()->setCurrentCell(start.y(), start.x());
    QCOMPARE(m.text4()->text(), "3");

    keys.simulate(m.text4());

    qmv::CellTable expected = qmv::defaultSchedule();
    for (const QString &cell : cells) {
        const QStringList at = cell.section(QLatin1Char('='), 0, 0).split(QLatin1Char(','));
        expected.rows[at.at(1).toInt()][at.at(0).toInt()] = cell.section(QLatin1Char('='), 1);
    }
    QCOMPARE(m.grid2()->contents(), expected);
    QCOMPARE(current(), end);
    QCOMPARE(m.text4()->text(), boxText);
    QCOMPARE(m.text4()->geometry(), m.grid2()->cellRect(end.y(), end.x(), m.form.get()));
    QVERIFY(m.text4()->isVisible());
    QTRY_VERIFY(m.text4()->hasFocus());
    const QList<QTableWidgetItem *> selected = m.grid2()->selectedItems();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(QPoint(selected.first()->column(), selected.first()->row()), end);
    // The bell table behind never sees these keys.
    QCOMPARE(m.grid1()->currentRow(), 0);
    QCOMPARE(m.grid1()->currentColumn(), 0);
    QCOMPARE(m.grid1()->contents(), qmv::defaultBellTable());
}

void tst_Schedule::backspaceCopiesAtRelease()
{
    m.grid2()->setCurrentCell(0, 3);
    QTest::keyClick(m.text4(), Qt::Key_Backspace);
    QTest::keyClicks(m.text4(), QStringLiteral("1 "));
    QCOMPARE(m.grid2()->cellText(0, 3), "1 ");

    // The press trims the box but leaves the cell alone; the release copies what is left.
    QTest::keyPress(m.text4(), Qt::Key_Backspace);
    QCOMPARE(m.grid2()->cellText(0, 3), "1 ");
    QCOMPARE(m.text4()->text(), "");
    QTest::keyRelease(m.text4(), Qt::Key_Backspace);
    QCOMPARE(m.grid2()->cellText(0, 3), "");
}

void tst_Schedule::clickMovesTheBoxWithoutACheck()
{
    QTest::keyClick(m.text4(), Qt::Key_Backspace);
    QTest::keyClicks(m.text4(), QStringLiteral("8"));
    const QRect friday = m.grid2()->visualRect(m.grid2()->model()->index(1, 4));

    QTest::mouseClick(m.grid2()->viewport(), Qt::LeftButton, {}, friday.center());

    QCOMPARE(current(), QPoint(4, 1));
    QCOMPARE(m.text4()->geometry(), m.grid2()->cellRect(1, 4, m.form.get()));
    QCOMPARE(m.text4()->text(), "3");
    QCOMPARE(m.grid2()->cellText(0, 0), "8");
    QTRY_VERIFY(m.text4()->hasFocus());
    QTest::keyClick(m.text4(), Qt::Key_Backspace);
    QTest::keyClicks(m.text4(), QStringLiteral("1"));
    QCOMPARE(m.grid2()->cellText(1, 4), "1");
    QCOMPARE(m.grid2()->cellText(0, 0), "8");
}

void tst_Schedule::clickOnTheCurrentCellKeepsTheBox()
{
    m.grid2()->setCurrentCell(1, 2);
    QTest::keyClicks(m.text4(), QStringLiteral("2"));
    m.text4()->setCursorPosition(1);
    const QPoint middle = m.grid2()->cellRect(1, 2, m.form.get()).center();
    QCOMPARE(m.form->childAt(middle), m.text4());

    QTest::mouseClick(m.form->childAt(middle), Qt::LeftButton, {},
                      m.text4()->mapFrom(m.form.get(), middle));
    QTest::keyClicks(m.text4(), QStringLiteral("1"));

    QCOMPARE(current(), QPoint(2, 1));
    QVERIFY(m.text4()->text().contains(QLatin1String("1")));
    QCOMPARE(m.text4()->text().size(), 3);
    QCOMPARE(m.grid2()->cellText(1, 2), m.text4()->text());
}

QTEST_MAIN(tst_Schedule)
#include "tst_schedule.moc"
