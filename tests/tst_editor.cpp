#include "downloadrecord.h"
#include "editorfixture.h"
#include "weekview.h"

#include <QScrollArea>
#include <QScrollBar>

class tst_Editor : public EditorFixture
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
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void exitAsksFirst()
    {
        QVERIFY(openNew());
        QVERIFY(show());
        for (const char *answer : {"cmdNo", "close", "cmdYes"})
            m_answerer->queue(answer);
        m_form->close();
        click("cmdExit");
        QVERIFY(m_form->isVisible());
        QCOMPARE(m_ended, 0);
        click("cmdExit");
        QCOMPARE(m_ended, 1);
        QCOMPARE(m_answerer->messages(),
                 QStringList(3, "Are you sure ?\r\nDo you really want to Exit ? ? ?"));
    }

    void cellKeys_data()
    {
        QTest::addColumn<QPoint>("start"); // column, row
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("row"); // the start row afterwards; empty: not checked
        QTest::addColumn<QPoint>("end");
        QTest::addColumn<QString>("boxText");
        QTest::addColumn<QStringList>("table"); // program 1; empty: 15 default rows
        QTest::addColumn<int>("rowCount");
        auto add = [](const char *name, QPoint start, const char *keys, const QString &row,
                      QPoint end, const char *boxText, const QStringList &table = {},
                      int rowCount = 15) {
            QTest::newRow(name) << start << QString(keys) << row << end << QString(boxText) << table
                                << rowCount;
        };
        const QString def = DefaultRow;
        add("bad time keeps the cursor and the text", {0, 0}, "24:00{R}", "24:00" + def, {0, 0},
            "24:00");
        add("sixth character refused", {0, 0}, "07:301", "07:30" + def, {0, 0}, "07:30");
        add("seconds out of range emptied on leaving", {3, 0}, "0{R}", def, {4, 0}, "OFF");
        add("bell 2 seconds too", {6, 0}, "0{R}", def, {7, 0}, "OC");
        add("up at row 0 writes the typed text back", {3, 0}, "99{U}", ",OFF,CONT,99,OFF,CONT,,OC",
            {3, 0}, "99");
        add("enter steps the light word", {7, 0}, "{E}{E}", ",OFF,CONT,,OFF,CONT,,OFF", {7, 0},
            "OFF");
        add("word column refuses typing", {1, 0}, "ab1{B}", def, {1, 0}, "OFF");
        add("paste keeps five printable characters", {0, 0}, "0{Paste}", "01234" + def, {0, 0},
            "01234");
        add("five characters selected and typed over", {0, 0}, "07:30{SelectBack}12:00",
            "12:00" + def, {0, 0}, "12:00");
        // Backspace's press trims the box and leaves the cell alone; its release copies the box.
        add("backspace pressed", {3, 0}, "1 {BackPress}", ",OFF,CONT,1 ,OFF,CONT,,OC", {3, 0}, "");
        add("ignored keys leave the cursor", {2, 4}, "x {PgDn}{PgUp}{Home}{End}{Esc}", def, {2, 4},
            "CONT");
        add("bell 2 takes bell 1's action and seconds", {4, 0}, "{R}",
            "07:30,ON,PULSE,5,ON,PULSE,5,OC", {7, 0}, "OC", {"07:30,ON,PULSE,5,ON,CONT,,OC"}, 1);
        add("thirty rows down scroll the table", {2, 0}, "{D30}", {}, {2, 30}, "CONT", {}, 32);
        add("down on the last row appends after it", {0, 0}, "{D}", "07:30" + def, {0, 1}, "",
            {"07:30" + def}, 2);
        add("delete removes the row", {0, 0}, "{X}", "00:01" + def, {0, 0}, "00:01",
            {"00:00" + def, "00:01" + def}, 1);
        add("delete on one row moves to bell 1", {6, 0}, "{X}", "07:30" + def, {1, 0}, "OFF",
            {"07:30" + def}, 1);
    }

    void cellKeys()
    {
        QFETCH(QStringList, table);
        QFETCH(QPoint, start);
        QFETCH(QString, keys);
        QFETCH(QString, row);
        QFETCH(QPoint, end);
        QVERIFY(openNew());
        qmv::CellTable program{qmv::BellColumns, {}};
        for (const QString &cells : table)
            program.rows.append(cells.split(','));
        if (!table.isEmpty())
            grid1()->setContents(program);
        QVERIFY(show());
        grid1()->setCurrentCell(start.y(), start.x());
        m_form->PlaceTextbox();
        grid1()->setFocus();
        QGuiApplication::clipboard()->setText(QStringLiteral("1\t2\r3\n456789"));
        ::keys(keys).simulate(box());
        if (!row.isEmpty())
            QCOMPARE(grid1()->rowTexts(start.y()).join(','), row);
        QCOMPARE(current(grid1()), end);
        QTEST(grid1()->rowCount(), "rowCount");
        QTEST(box()->text(), "boxText");
        QCOMPARE(box()->isReadOnly(), end.x() != 0 && end.x() != 3 && end.x() != 6);
        // The box covers the cell's top, and the cell is in sight.
        const QRect cell = grid1()->visualRect(grid1()->currentIndex());
        QVERIFY(grid1()->viewport()->rect().contains(cell));
        QCOMPARE(box()->pos(), grid1()->viewport()->mapTo(m_form.get(), cell.topLeft()));
        if (end != start)
            QTRY_VERIFY(box()->hasFocus());
        checkReadable();
    }

    // Clicked, the box takes the cell's place and its column's rule; its menu pastes as Ctrl+V.
    void mouse_data()
    {
        QTest::addColumn<QPoint>("cell");  // column, row clicked
        QTest::addColumn<QString>("text"); // the clicked cell's text afterwards
        QTest::newRow("menu paste filtered") << QPoint(0, 1) << "12345";
        QTest::newRow("menu paste refused on words") << QPoint(7, 1) << "OC";
    }

    void mouse()
    {
        QFETCH(QPoint, cell);
        QVERIFY(openNew());
        QVERIFY(show());
        // A new program's fifteen rows all show in the table's designed height.
        QVERIFY(grid1()->rowViewportPosition(14) + grid1()->rowHeight(14) <=
                grid1()->viewport()->height());
        QGuiApplication::clipboard()->setText(QStringLiteral("1\t2\r3\n456789"));
        const QRect rect = grid1()->visualRect(grid1()->model()->index(cell.y(), cell.x()));
        QTest::mouseClick(grid1()->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(box()->geometry().topLeft(),
                 grid1()->cellRect(cell.y(), cell.x(), m_form.get()).topLeft());
        QCOMPARE(box()->isReadOnly(), cell.x() % 3 != 0);
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&answer] {
            if (auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                answer.stop();
                QAction *paste = popup->actions().value(1);
                popup->close();
                if (paste->isEnabled())
                    paste->trigger();
            }
        });
        answer.start(5);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                                box()->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(box(), &event);
        QTEST(grid1()->cellText(cell.y(), cell.x()), "text");
        QTEST(box()->text(), "text");
        checkReadable();
    }

    // The box stands over the cell it writes to, or is hidden while that cell is scrolled out
    // of view; typing brings the cell back.
    void boxFollowsTheScroll_data()
    {
        QTest::addColumn<int>("notches");  // of the wheel, down
        QTest::addColumn<int>("barValue"); // the scroll bar dragged to this row; -1: not
        QTest::addColumn<int>("row");      // typed into; clicked in the Time column unless 2
        QTest::newRow("wheel takes the cell out of view") << 2 << -1 << 2;
        QTest::newRow("scroll bar drag keeps it in view") << 0 << 1 << 2;
        QTest::newRow("click on the half-visible last row") << 0 << -1 << 15;
    }

    void boxFollowsTheScroll()
    {
        QFETCH(int, notches);
        QFETCH(int, barValue);
        QFETCH(int, row);
        QVERIFY(openNew());
        grid1()->setContents(qmv::defaultBellTable(40));
        QVERIFY(show());
        keys("{D2}").simulate(box());
        QWheelEvent wheel({}, {}, {}, {0, -120 * notches}, {}, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid1()->viewport(), &wheel);
        if (barValue >= 0)
            grid1()->verticalScrollBar()->setValue(barValue);
        if (row != 2)
            QTest::mouseClick(grid1()->viewport(), Qt::LeftButton, {},
                              {2, grid1()->rowViewportPosition(row) + 3});
        const auto overCell = [this, row] {
            return box()->isVisible() && grid1()->isCellInView(row, 0) &&
                   box()->geometry() == grid1()->cellRect(row, 0, m_form.get());
        };
        QTRY_VERIFY(notches > 0 ? box()->isHidden() : overCell());
        QTest::keyClicks(QApplication::focusWidget(), "11:11");
        QVERIFY(overCell());
        click("cmdNextProgram");
        QByteArrayList rows(40, DefaultRowBytes);
        rows[row].prepend("11:11");
        QCOMPARE(workingBytes(1), ":P1\r\n40\r\n" + rows.join('\r') + "\r\n");
    }

    // Tab never takes the focus into a table, where it would move the current cell unchecked.
    void tabLeavesTheTables()
    {
        QVERIFY(openNew());
        QVERIFY(show());
        goTo(3);
        for (int i = 0; i < 30; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                            i < 15 ? Qt::NoModifier : Qt::ShiftModifier);
            QVERIFY(!qobject_cast<CellGrid *>(QApplication::focusWidget()));
        }
    }

    void scheduleKeys_data()
    {
        QTest::addColumn<QPoint>("start"); // column, row
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("cell"); // "column,row=text"; every other cell holds "3"
        QTest::addColumn<QPoint>("end");
        QTest::addColumn<QString>("boxText");
        auto add = [](const char *name, QPoint start, const char *keys, const char *cell,
                      QPoint end, const char *box) {
            QTest::newRow(name) << start << QString(keys) << QString(cell) << end << QString(box);
        };
        add("invalid replaced on leaving", {0, 0}, "{B}7{R}", "", {1, 0}, "3");
        add("valid kept on leaving", {0, 0}, "{B}2{D}", "0,0=2", {0, 1}, "3");
        add("right wraps to bell 2", {6, 0}, "{B}9{R}", "", {0, 1}, "3");
        add("left wraps to bell 1", {0, 1}, "{B}1{L}", "0,1=1", {6, 0}, "3");
        add("up at bell 1 gives the text back", {4, 0}, "{B}9{U}", "4,0=9", {4, 0}, "9");
        add("right at the last cell gives it back", {6, 1}, "{B}5{R}", "6,1=5", {6, 1}, "5");
        add("left inside the row", {3, 0}, "{B}2{L}", "3,0=2", {2, 0}, "3");
        add("left at the first cell gives it back", {0, 0}, "{B}2{L}", "0,0=2", {0, 0}, "2");
        add("up from bell 2", {4, 1}, "{B}1{U}", "4,1=1", {4, 0}, "3");
        add("down at bell 2 gives it back", {2, 1}, "{B}2{D}", "2,1=2", {2, 1}, "2");
        add("backspace pressed", {3, 0}, "{B}1 {BackPress}", "3,0=1 ", {3, 0}, "");
        add("no arrow, no check", {3, 0}, "{B}8{E}{Esc}{Home}{PgDn}", "3,0=8", {3, 0}, "8");
        add("pasted tab refused", {2, 0}, "{B}{Paste}1", "2,0=1", {2, 0}, "1");
    }

    void scheduleKeys()
    {
        QFETCH(QPoint, start);
        QFETCH(QString, keys);
        QFETCH(QString, cell);
        QFETCH(QPoint, end);
        QVERIFY(openNew());
        QVERIFY(show());
        goTo(3);
        grid2()->setCurrentCell(start.y(), start.x());
        QGuiApplication::clipboard()->setText(QStringLiteral("3\t3"));
        ::keys(keys).simulate(text4());
        qmv::CellTable expected = qmv::defaultSchedule();
        if (!cell.isEmpty())
            expected.rows[cell.mid(2, 1).toInt()][cell.left(1).toInt()] = cell.mid(4);
        QCOMPARE(grid2()->contents(), expected);
        QCOMPARE(current(grid2()), end);
        QTEST(text4()->text(), "boxText");
        QCOMPARE(text4()->geometry(), grid2()->cellRect(end.y(), end.x(), m_form.get()));
        QTRY_VERIFY(text4()->hasFocus());
        // The bell table behind never sees these keys.
        QCOMPARE(current(grid1()), QPoint(0, 0));
        QCOMPARE(grid1()->contents(), qmv::defaultBellTable());
    }

    // Each program keeps its own steps across Next and Previous ("|": away and back); an undo
    // marks the program unsaved and reaches the working file as typing does.
    void undoRedo_data()
    {
        QTest::addColumn<int>("program"); // 3: the keys go to the schedule's box
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QByteArray>("file"); // the working file, left afterwards
        QTest::addColumn<QPoint>("end");      // column, row of the box
        QTest::addColumn<QString>("boxText");
        const QByteArray p1 = ":P1\r\n15\r\n";
        const QByteArray time = "07:30" + DefaultRowBytes + "\r" + joinedRows(14) + "\r\n";
        auto add = [](const char *name, int program, const char *keys, const QByteArray &file,
                      QPoint end, const char *boxText) {
            QTest::newRow(name) << program << QString(keys) << file << end << QString(boxText);
        };
        add("typing one step per visit", 1, "07:30{R}{L}{B}{Undo}", p1 + time, {0, 0}, "07:30");
        add("typing back to the old text is no step", 1, "07:30{R}{L}{B}0{Undo}",
            p1 + joinedRows(15) + "\r\n", {0, 0}, "");
        add("a word changed with enter", 1, "{R}{E}{E}{Undo}", p1 + "\tON" + time.mid(9), {1, 0},
            "ON");
        add("redo with ctrl+y", 1, "7:30{R}{Undo}{Undo}{RedoY}", p1 + "7:30" + time.mid(5), {0, 0},
            "7:30");
        add("a deleted row comes back, redo with ctrl+shift+z", 1,
            "07:30{D}{U}{X}{Undo}{Redo}{Undo}", p1 + time, {0, 0}, "07:30");
        add("an appended row goes", 1, "{D14}{Undo}", p1 + joinedRows(15) + "\r\n", {0, 13}, "");
        add("kept while another program is shown", 1, "07:30{R}|{Undo}",
            p1 + joinedRows(15) + "\r\n", {0, 0}, "");
        add("schedule steps belong to program 3", 3, "{B}2{R}{B}1{R}|{Undo}",
            ":P3" + DefaultTemp2.mid(3) +
                "\r\n\r\n\r\n2\r\n2\t3\t3\t3\t3\t3\t3\r3\t3\t3\t3\t3\t3\t3\r\n",
            {1, 0}, "3");
    }

    void undoRedo()
    {
        QFETCH(int, program);
        QFETCH(QString, keys);
        QFETCH(QPoint, end);
        QVERIFY(openNew());
        QVERIFY(show());
        goTo(program);
        QLineEdit *typed = program == 3 ? text4() : box();
        if (keys.contains('|')) {
            ::keys(keys.section('|', 0, 0)).simulate(typed);
            move(program == 1);
            // Nothing to undo in the program shown meanwhile.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
            move(program != 1);
        }
        m_form->pgmSaved = true;
        ::keys(keys.section('|', -1)).simulate(typed);
        QVERIFY(!m_form->pgmSaved);
        CellGrid *grid = program == 3 ? grid2() : grid1();
        QCOMPARE(current(grid), end);
        QTEST(typed->text(), "boxText");
        QCOMPARE(typed->pos(), grid->cellRect(end.y(), end.x(), m_form.get()).topLeft());
        move(program == 1);
        QTEST(workingBytes(program), "file");
    }

    // The week view follows program 1 typed on screen, then left for its working file, and the
    // schedule edited on screen.
    void weekViewFollowsTheTablesAsEdited()
    {
        QVERIFY(openNew());
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
        QCOMPARE(view()->notes(),
                 QStringList{"Controller: unknown: no download to it is recorded"});
        // Drawn no smaller than the bell table's text: wider than the window, which scrolls.
        const auto *scroll = view()->findChild<QScrollArea *>("weekScroll");
        QVERIFY(scroll->widget()->width() > scroll->viewport()->width());
        // A working file it cannot read is named, not shown as an empty program.
        QVERIFY(QFile::remove(qmv::paths::workingFile(2)));
        view()->refresh();
        QTRY_VERIFY2(view()->notes().join('\n').contains(qmv::paths::workingFile(2)),
                     qPrintable(view()->notes().join('\n')));
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

    // The controller took program 2 with two timed rows and program 2 for bell 1 on Mondays; the
    // new program being edited has neither.
    void weekViewComparesWithTheController()
    {
        QVERIFY(openNew());
        qmv::ProgramFile sent{
            {qmv::defaultBellTable(), qmv::defaultBellTable(), qmv::defaultBellTable()},
            qmv::defaultSchedule()};
        sent.programs[1].rows[0] = QString("07:00|ON|CONT|5|OFF|CONT||OC").split('|');
        sent.programs[1].rows[1] = QString("08:00|ON|CONT|5|OFF|CONT||OC").split('|');
        sent.schedule.rows[0][0] = "2";
        qmv::record::RecordWriter writer;
        QVERIFY(
            writer.begin({"week1.qmv", qmv::paths::programFile("week1.qmv"), true, "pty", sent}));
        writer.eraseSent();
        writer.erased();
        writer.clockSet("08:00", 0);
        writer.rowAcknowledged(2, 0);
        writer.rowAcknowledged(2, 1);
        writer.scheduleAcknowledged();
        writer.complete();
        QVERIFY(show());
        QTest::keyClick(m_form.get(), Qt::Key_T, Qt::ControlModifier);
        QTRY_VERIFY(
            view()->notes().value(0).endsWith(", complete - 2 rows and 1 schedule cell differ"));
        QCOMPARE(view()->notes().mid(1).filter("controller:").size(), 3);
        QVERIFY(view()->notes().contains("schedule bell 1 Monday: 3 | controller: 2"));
        goTo(3);
        grid2()->setCellText(0, 0, "2");
        QTRY_VERIFY(view()->notes().value(0).endsWith(", complete - 2 rows differ"));
    }

    void downloadAsksWhenRowsWouldNotBeSent_data()
    {
        QTest::addColumn<int>("lostRows"); // rows with times after the empty one
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("downloads");
        QTest::addColumn<QString>("more");
        QTest::newRow("cancelgoesback") << 1 << "cmdCancel" << 0 << "";
        QTest::newRow("entergoesback") << 1 << "enter:" << 0 << "";
        QTest::newRow("escapegoesback") << 1 << "esc" << 0 << "";
        QTest::newRow("closegoesback") << 1 << "close" << 0 << "";
        QTest::newRow("okdownloadsanyway") << 2 << "cmdOK" << 1 << " (1 more: Ctrl+T)";
    }

    void downloadAsksWhenRowsWouldNotBeSent()
    {
        QFETCH(int, lostRows);
        QFETCH(QString, answer);
        QFETCH(QString, more);
        QVERIFY(openNew());
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

QTEST_MAIN(tst_Editor)
#include "tst_editor.moc"
