#include "cellgrid.h"
#include "form1.h"
#include "form2.h"
#include "lifecycle.h"
#include "messageboxanswerer.h"
#include "paths.h"
#include "programfile.h"
#include "twips.h"

#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

#include <csignal>
#include <memory>

namespace {

const QByteArray DefaultRowBytes = "\tOFF\tCONT\t\tOFF\tCONT\t\tOC";
const QString DefaultRow = QStringLiteral(",OFF,CONT,,OFF,CONT,,OC");
const QByteArray DefaultScheduleBlock =
    "\r\n\r\n\r\n2\r\n3\t3\t3\t3\t3\t3\t3\r3\t3\t3\t3\t3\t3\t3\r\n";

QByteArray joinedRows(int count)
{
    return QByteArrayList(count, DefaultRowBytes).join('\r');
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray workingBytes(int program)
{
    return readAll(qmv::paths::workingFile(program));
}

// Two rows, the first one's Time cell telling the program apart: "0n:00".
QByteArray planted(int program)
{
    const QByteArray n = QByteArray::number(program);
    return ":P" + n + "\r\n2\r\n0" + n + ":00" + DefaultRowBytes + "\r" + DefaultRowBytes + "\r\n" +
           (program == 3 ? "\r\n\r\n\r\n2\r\n1\t1\t1\t1\t1\t1\t1\r2\t2\t2\t2\t2\t2\t2\r\n" : "");
}

// "07:30{R}{D3}": "07:30" typed, then Right, then Down three times; "{BackPress}": Backspace
// pressed and not yet released; "{Paste}": Ctrl+V.
QTestEventList keys(const QString &script)
{
    static const QHash<QString, Qt::Key> named = {
        {"R", Qt::Key_Right},     {"L", Qt::Key_Left},        {"U", Qt::Key_Up},
        {"D", Qt::Key_Down},      {"E", Qt::Key_Return},      {"X", Qt::Key_Delete},
        {"B", Qt::Key_Backspace}, {"PgDn", Qt::Key_PageDown}, {"PgUp", Qt::Key_PageUp},
        {"Home", Qt::Key_Home},   {"End", Qt::Key_End},       {"Esc", Qt::Key_Escape}};
    static const QRegularExpression token(QStringLiteral("\\{([A-Za-z]+)(\\d*)\\}|([^{])"));
    QTestEventList list;
    for (auto it = token.globalMatch(script); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString name = match.captured(1);
        if (name == QLatin1String("BackPress"))
            list.addKeyPress(Qt::Key_Backspace);
        else if (name == QLatin1String("Paste"))
            list.addKeyClick(Qt::Key_V, Qt::ControlModifier);
        else if (name.isEmpty())
            list.addKeyClicks(match.captured(3));
        for (int i = 0; i < qMax(1, match.captured(2).toInt()) && named.contains(name); ++i)
            list.addKeyClick(named.value(name));
    }
    return list;
}

// DOWNLOAD without the download window: the working files are all it would read.
class DownloadCounter : public Form2
{
public:
    DownloadCounter(bool pgmEditing, const QString &file, const QString &title)
        : Form2(pgmEditing, file, title)
    {
        connect(this, &Form2::downloadRequested, this, [this] { opened.append(workingBytes(3)); });
    }
    QByteArrayList opened; // program 3's working file each time the window would load it
};

// What openAndEdit leaves in the working files.
const QByteArray EditedTemp1 =
    ":P1\r\n15\r\n07:30\tON\tPULSE\t5\tOFF\tCONT\t\tOC\r" + joinedRows(14) + "\r\n";
const QByteArray DefaultTemp2 = ":P2\r\n15\r\n" + joinedRows(15) + "\r\n";
const QByteArray EditedTemp3 =
    ":P3" + DefaultTemp2.mid(3) + "\r\n\r\n\r\n2\r\n1\t3\t3\t3\t3\t3\t3\r3\t3\t3\t3\t3\t3\t2\r\n";

} // namespace

class tst_Editor : public QObject
{
    Q_OBJECT

    DownloadCounter *openNew(const QString &title = QStringLiteral("week1.qmv"))
    {
        auto *form = new DownloadCounter(false, qmv::paths::programFile(title), title);
        m_form.reset(form);
        return form->load() ? form : nullptr;
    }
    bool show()
    {
        m_form->show();
        m_form->activateWindow();
        return QTest::qWaitForWindowActive(m_form.get());
    }
    CellGrid *grid1() const { return m_form->findChild<CellGrid *>("Grid1"); }
    CellGrid *grid2() const { return m_form->findChild<CellGrid *>("Grid2"); }
    QLineEdit *box() const { return m_form->findChild<QLineEdit *>("txtCellEdit"); }
    QLineEdit *text4() const { return m_form->findChild<QLineEdit *>("Text4"); }
    QWidget *control(const QString &name) const { return m_form->findChild<QWidget *>(name); }
    void click(const char *name) const { m_form->findChild<QPushButton *>(name)->click(); }
    void move(bool next) const { click(next ? "cmdNextProgram" : "cmdPrevPgm"); }
    void goTo(int program) const
    {
        while (m_form->pgmCurrent < program)
            move(true);
    }
    QPoint current(CellGrid *grid) const { return {grid->currentColumn(), grid->currentRow()}; }

    // The number shown, the buttons and the schedule group all say the same program.
    void checkAgreement(int program)
    {
        QCOMPARE(m_form->pgmCurrent, program);
        QCOMPARE(control("txtNextProgram")->property("text").toString(), QString::number(program));
        for (const char *name : {"Grid2", "Text4", "Label3", "Label4", "Label5", "Label6", "Label8",
                                 "Label9", "Label10", "Label11", "Label12"})
            QVERIFY2(control(name)->isHidden() == (program != 3), name);
        QCOMPARE(control("cmdSaveProgram")->isEnabled(), program == 3);
        QCOMPARE(control("cmdDownload")->isEnabled(), program == 3);
    }

    // Program 1 and the schedule edited through the boxes, program 3's last row directly; the
    // boxes are left elsewhere than the first cells.
    DownloadCounter *openAndEdit(const QString &name = QStringLiteral("week1.qmv"))
    {
        auto *form = openNew(name);
        if (!form)
            return nullptr;
        form->show();
        keys("07:30{R}{E}{R}{E}{R}5").simulate(box());
        goTo(3);
        keys("{B}1{L}").simulate(text4());
        grid2()->setCurrentCell(1, 6);
        keys("{B}2").simulate(text4());
        grid1()->setCurrentCell(5, 2);
        form->PlaceTextbox();
        grid2()->setCurrentCell(1, 3);
        return form;
    }

    // The box shows its whole text, nothing of the cell beneath it shows below the box, and no
    // scroll bar covers the LIGHT column.
    void checkReadable()
    {
        QVERIFY(box()->rect().marginsRemoved(box()->textMargins()).height() >=
                box()->fontMetrics().height());
        const QRect cell =
            grid1()->cellRect(grid1()->currentRow(), grid1()->currentColumn(), m_form.get());
        // Inside the selection's edge and the grid lines.
        const QImage below =
            m_form
                ->grab(QRect(cell.left() + 2, box()->geometry().bottom() + 1, cell.width() - 4,
                             cell.bottom() - box()->geometry().bottom() - 3))
                .toImage();
        QVERIFY(!below.isNull());
        // The fill may shade a little; text stands out from it.
        const QColor fill = below.pixelColor(0, 0);
        for (int y = 0; y < below.height(); ++y)
            for (int x = 0; x < below.width(); ++x)
                QVERIFY(qAbs(below.pixelColor(x, y).lightness() - fill.lightness()) < 16);
        QTRY_VERIFY(grid1()->columnViewportPosition(7) + grid1()->columnWidth(7) <=
                    grid1()->viewport()->width());
        QVERIFY(m_form->rect().contains(grid1()->geometry()));
    }

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<Form2> m_form;
    std::unique_ptr<qmvtest::MessageBoxAnswerer> m_answerer;
    int m_ended = 0;

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        qputenv("QMV_ROOT", m_root->path().toLocal8Bit());
        QVERIFY(m_root->isValid() && QDir().mkpath(qmv::paths::dataDir()) &&
                QDir().mkpath(qmv::paths::tmpDir()));
        m_ended = 0;
        qmv::setEndHandler([this] { ++m_ended; });
        m_answerer = std::make_unique<qmvtest::MessageBoxAnswerer>();
        m_answerer->setDefaultAnswer(QStringLiteral("cmdOKonly"));
    }

    void cleanup()
    {
        m_form.reset();
        m_answerer.reset();
        qmv::setEndHandler(nullptr);
        qmv::resetEnding();
        m_root.reset();
    }

    void load_data()
    {
        QTest::addColumn<bool>("editing");     // Edit rather than New
        QTest::addColumn<QByteArray>("bytes"); // the file beforehand; "<none>": no file
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("message"); // what the one message says, in part
        auto add = [](const char *name, bool editing, const QByteArray &bytes, const char *answer,
                      const char *message) {
            QTest::newRow(name) << editing << bytes << QString(answer) << QString(message);
        };
        const QByteArray rows = joinedRows(15);
        add("new, no file yet", false, "<none>", "", "");
        add("new, file exists, no opens the defaults", false, "old", "cmdNo",
            "File already exists\r\nContent will lost if you continue\r\nEXIT?");
        add("new, file exists, yes ends the tool", false, "old", "cmdYes", "File already exists");
        add("edit, a sound file", true, planted(1) + planted(2) + planted(3), "", "");
        add("edit, missing file", true, "<none>", "", "Cannot open");
        add("edit, too few lines", true, ":P1\r\n15\r\n" + rows + "\r\n", "", "lines");
        add("edit, row count disagrees with the rows", true,
            ":P1\r\n3" + planted(1).mid(6) + planted(2) + planted(3), "", "line 3");
    }

    void load()
    {
        QFETCH(bool, editing);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, answer);
        QFETCH(QString, message);
        const QString path = qmv::paths::programFile(QStringLiteral("week1.qmv"));
        QVERIFY(bytes == "<none>" || writeAll(path, bytes));
        QVERIFY(writeAll(qmv::paths::workingFile(2), "earlier"));
        m_answerer->queue(answer);
        m_form = std::make_unique<Form2>(editing, path, QStringLiteral("week1.qmv"));
        const bool opens = m_form->load();
        const QString said = m_answerer->messages().join('|');
        QVERIFY2(said.contains(message) && said.isEmpty() == message.isEmpty() &&
                     !said.contains('|') && (!editing || opens || said.contains(path)),
                 qPrintable(said));
        QCOMPARE(opens, said.isEmpty() || answer == QLatin1String("cmdNo"));
        QCOMPARE(m_ended, answer == QLatin1String("cmdYes") ? 1 : 0);
        QCOMPARE(readAll(path), bytes == "<none>" ? "<missing>" : bytes);
        QCOMPARE(workingBytes(2) == "earlier", !opens);
        if (!opens)
            return;
        const QByteArray defaults = "\r\n15\r\n" + joinedRows(15) + "\r\n";
        QCOMPARE(workingBytes(1) + workingBytes(2) + workingBytes(3),
                 editing ? bytes
                         : ":P1" + defaults + ":P2" + defaults + ":P3" + defaults +
                               DefaultScheduleBlock);
        QCOMPARE(grid1()->rowTexts(0).join(','), (editing ? "01:00" : "") + DefaultRow);
        QCOMPARE(grid1()->rowCount(), editing ? 2 : 15);
        QCOMPARE(text4()->text(), editing ? "1" : "3");
        QCOMPARE(control("txtPgmName")->property("text").toString(), "week1.qmv");
        checkAgreement(1);
        QCOMPARE(box()->geometry(), grid1()->cellRect(0, 0, m_form.get()));
        QCOMPARE(box()->text(), editing ? "01:00" : "");
        QVERIFY(show() && !box()->isReadOnly());
        QTRY_VERIFY(box()->hasFocus());
    }

    void exitAsksFirst()
    {
        QVERIFY(openNew());
        QVERIFY(show());
        m_answerer->queue(QStringLiteral("cmdNo"));
        m_answerer->queue(QStringLiteral("close"));
        m_answerer->queue(QStringLiteral("cmdYes"));
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
        QTest::addColumn<QStringList>("table"); // program 1; empty: 15 default rows
        QTest::addColumn<QPoint>("start");      // column, row
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QStringList>("rows"); // "row=cells" of the rows to check
        QTest::addColumn<QPoint>("end");
        QTest::addColumn<int>("rowCount");
        QTest::addColumn<QString>("boxText");
        auto add = [](const char *name, const QStringList &table, QPoint start, const char *keys,
                      const QStringList &rows, QPoint end, int rowCount, const char *boxText) {
            QTest::newRow(name) << table << start << QString(keys) << rows << end << rowCount
                                << QString(boxText);
        };
        const QStringList none;
        const QString at0 = QStringLiteral("0=");
        add("bad time keeps the cursor and the text", none, {0, 0}, "24:00{R}",
            {at0 + "24:00" + DefaultRow}, {0, 0}, 15, "24:00");
        add("sixth character refused", none, {0, 0}, "07:301", {at0 + "07:30" + DefaultRow}, {0, 0},
            15, "07:30");
        add("seconds out of range emptied on leaving", none, {3, 0}, "0{R}", {at0 + DefaultRow},
            {4, 0}, 15, "OFF");
        add("up at row 0 writes the typed text back", none, {3, 0}, "99{U}",
            {"0=,OFF,CONT,99,OFF,CONT,,OC"}, {3, 0}, 15, "99");
        add("enter steps the light word", none, {7, 0}, "{E}{E}", {"0=,OFF,CONT,,OFF,CONT,,OFF"},
            {7, 0}, 15, "OFF");
        add("word column refuses typing", none, {1, 0}, "ab1{B}", {at0 + DefaultRow}, {1, 0}, 15,
            "OFF");
        add("paste keeps five printable characters", none, {0, 0}, "0{Paste}",
            {at0 + "01234" + DefaultRow}, {0, 0}, 15, "01234");
        // Backspace's press trims the box and leaves the cell alone; its release copies the box.
        add("backspace pressed", none, {3, 0}, "1 {BackPress}", {"0=,OFF,CONT,1 ,OFF,CONT,,OC"},
            {3, 0}, 15, "");
        add("ignored keys leave the cursor", none, {2, 4}, "x {PgDn}{PgUp}{Home}{End}{Esc}",
            {"4=" + DefaultRow}, {2, 4}, 15, "CONT");
        add("bell 2 takes bell 1's action and seconds", {"07:30,ON,PULSE,5,ON,CONT,,OC"}, {4, 0},
            "{R}", {"0=07:30,ON,PULSE,5,ON,PULSE,5,OC"}, {7, 0}, 1, "OC");
        add("thirty rows down scroll the table", none, {2, 0}, "{D30}", {}, {2, 30}, 32, "CONT");
        add("delete removes the row", {"00:00" + DefaultRow, "00:01" + DefaultRow}, {0, 0}, "{X}",
            {"0=00:01" + DefaultRow}, {0, 0}, 1, "00:01");
        add("delete on one row moves to bell 1", {"07:30" + DefaultRow}, {6, 0}, "{X}",
            {at0 + "07:30" + DefaultRow}, {1, 0}, 1, "OFF");
    }

    void cellKeys()
    {
        QFETCH(QStringList, table);
        QFETCH(QPoint, start);
        QFETCH(QString, keys);
        QFETCH(QStringList, rows);
        QFETCH(QPoint, end);
        QVERIFY(openNew());
        qmv::CellTable program{qmv::BellColumns, {}};
        for (const QString &row : table)
            program.rows.append(row.split(','));
        if (!table.isEmpty())
            grid1()->setContents(program);
        QVERIFY(show());
        grid1()->setCurrentCell(start.y(), start.x());
        m_form->PlaceTextbox();
        grid1()->setFocus();
        QGuiApplication::clipboard()->setText(QStringLiteral("1\t2\r3\n456789"));
        ::keys(keys).simulate(box());
        for (const QString &entry : rows)
            QCOMPARE(grid1()->rowTexts(entry.section('=', 0, 0).toInt()).join(','),
                     entry.section('=', 1));
        QCOMPARE(current(grid1()), end);
        QTEST(grid1()->rowCount(), "rowCount");
        QTEST(box()->text(), "boxText");
        QCOMPARE(box()->isReadOnly(), end.x() != 0 && end.x() != 3 && end.x() != 6);
        // The box covers the cell's top, and the cell is in sight.
        const QRect cell = grid1()->visualRect(grid1()->currentIndex());
        QVERIFY(grid1()->viewport()->rect().contains(cell));
        QCOMPARE(box()->pos(), grid1()->viewport()->mapTo(m_form.get(), cell.topLeft()));
        QCOMPARE(box()->size(), QSize(grid1()->columnWidth(end.x()), qmv::tw(540 - 200)));
        if (end != start)
            QTRY_VERIFY(box()->hasFocus());
        checkReadable();
    }

    // Clicked, the box takes the cell's place and its column's rule; its menu pastes as Ctrl+V.
    void mouse_data()
    {
        QTest::addColumn<QPoint>("cell"); // column, row clicked
        QTest::addColumn<bool>("menu");   // paste through the box's menu before typing
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text"); // the clicked cell's text afterwards
        QTest::newRow("word column refuses typing") << QPoint(1, 3) << false << "07:30"
                                                    << "OFF";
        QTest::newRow("seconds column takes typing") << QPoint(3, 2) << false << "12"
                                                     << "12";
        QTest::newRow("menu paste filtered") << QPoint(0, 1) << true << "9"
                                             << "12345";
        QTest::newRow("menu paste refused on words") << QPoint(7, 1) << true << ""
                                                     << "OC";
    }

    void mouse()
    {
        QFETCH(QPoint, cell);
        QFETCH(bool, menu);
        QFETCH(QString, typed);
        QVERIFY(openNew());
        QVERIFY(show());
        QGuiApplication::clipboard()->setText(QStringLiteral("1\t2\r3\n456789"));
        const QRect rect = grid1()->visualRect(grid1()->model()->index(cell.y(), cell.x()));
        QTest::mouseClick(grid1()->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(box()->geometry().topLeft(),
                 grid1()->cellRect(cell.y(), cell.x(), m_form.get()).topLeft());
        QCOMPARE(box()->isReadOnly(), cell.x() % 3 != 0);
        if (menu) {
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
        }
        QTest::keyClicks(box(), typed);
        QTEST(grid1()->cellText(cell.y(), cell.x()), "text");
        QTEST(box()->text(), "text");
        checkReadable();
    }

    void characterBeyondLatin1Refused()
    {
        QVERIFY(openNew());
        QVERIFY(show());
        grid1()->setCurrentCell(0, 3);
        m_form->PlaceTextbox();
        for (const QString &typed : {QStringLiteral("1"), QStringLiteral("\u20ac")}) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, typed);
            QApplication::sendEvent(box(), &press);
            QApplication::sendEvent(box(), &release);
        }
        QCOMPARE(box()->text(), QStringLiteral("1"));
        QCOMPARE(grid1()->cellText(0, 3), QStringLiteral("1"));
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

    void scheduleClickMovesTheBoxWithoutACheck()
    {
        QVERIFY(openNew());
        QVERIFY(show());
        goTo(3);
        keys("{B}8").simulate(text4());
        const QRect friday = grid2()->visualRect(grid2()->model()->index(1, 4));
        QTest::mouseClick(grid2()->viewport(), Qt::LeftButton, {}, friday.center());
        QCOMPARE(current(grid2()), QPoint(4, 1));
        QCOMPARE(text4()->geometry(), grid2()->cellRect(1, 4, m_form.get()));
        QCOMPARE(text4()->text(), "3");
        QCOMPARE(grid2()->cellText(0, 0), "8");
        keys("{B}1").simulate(text4());
        QCOMPARE(grid2()->cellText(1, 4), "1");
    }

    void navigation_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<bool>("next");
        QTest::addColumn<QByteArray>("bad"); // the bad file's bytes, "<none>" or "<dir>"
        QTest::addColumn<bool>("leaving");   // the bad file is the one left, not the one arrived at
        QTest::addColumn<QString>("message");
        auto add = [](const char *name, int from, bool next, const QByteArray &bad, bool leaving,
                      const char *message) {
            QTest::newRow(name) << from << next << bad << leaving << QString(message);
        };
        add("next from 1", 1, true, {}, false, "");
        add("next from 2", 2, true, {}, false, "");
        add("next at 3", 3, true, {}, false, "Max Allowed Programs Reached\r\n");
        add("previous from 3", 3, false, {}, false, "");
        add("previous at 1", 1, false, {}, false, "Program Number 1 Reached\r\n");
        add("arrival missing, next to 2", 1, true, "<none>", false, "Cannot open");
        add("arrival row count not a number, previous to 2", 3, false,
            ":P2\r\nx" + planted(2).mid(6), false, "line 2");
        add("arrival without schedule, next to 3", 2, true, ":P3" + planted(2).mid(3), false,
            "lines");
        add("leaving a folder, previous from 3", 3, false, "<dir>", true, "");
    }

    void navigation()
    {
        QFETCH(int, from);
        QFETCH(bool, next);
        QFETCH(QByteArray, bad);
        QFETCH(bool, leaving);
        QFETCH(QString, message);
        QVERIFY(openNew());
        goTo(from);
        // What the files hold from now on tells what the command wrote and what it read.
        for (int program = 1; program <= 3; ++program)
            QVERIFY(writeAll(qmv::paths::workingFile(program), planted(program)));
        const int target = next ? from + 1 : from - 1;
        const bool edge = target < 1 || target > 3;
        const QString badFile =
            bad.isEmpty() ? QString() : qmv::paths::workingFile(leaving ? from : target);
        QVERIFY(bad.isEmpty() || QFile::remove(badFile));
        QVERIFY(bad.isEmpty() || bad == "<none>" ||
                (bad == "<dir>" ? QDir().mkpath(badFile + "/inside") : writeAll(badFile, bad)));
        grid1()->setCellText(0, 0, QStringLiteral("11:11"));
        grid2()->setCellText(1, 6, QStringLiteral("2"));
        grid1()->setCurrentCell(2, 1); // the box over a word column, read-only
        m_form->PlaceTextbox();
        const qmv::CellTable bell = grid1()->contents();
        const qmv::CellTable schedule = grid2()->contents();
        move(next);
        const QString said = m_answerer->messages().join('|');
        QVERIFY2(said.contains(message) && said.contains(badFile) && !said.contains('|') &&
                     said.isEmpty() == (message.isEmpty() && bad.isEmpty()),
                 qPrintable(said));
        for (int program = 1; program <= 3; ++program) {
            if (qmv::paths::workingFile(program) == badFile)
                continue;
            QCOMPARE(workingBytes(program),
                     program != from || edge
                         ? planted(program)
                         : ":P" + QByteArray::number(program) + "\r\n15\r\n11:11" +
                               DefaultRowBytes + "\r" + joinedRows(14) + "\r\n" +
                               (program == 3 ? DefaultScheduleBlock.chopped(3) + "2\r\n" : ""));
        }
        const bool moved = !edge && bad.isEmpty();
        checkAgreement(moved ? target : from);
        // Over the first Time cell again, taking typing, unless nothing was written.
        const bool untouched = edge || leaving;
        QCOMPARE(box()->pos(),
                 grid1()->cellRect(untouched ? 2 : 0, untouched, m_form.get()).topLeft());
        QCOMPARE(box()->isReadOnly(), untouched);
        if (!moved) {
            QCOMPARE(grid1()->contents(), bell);
            QCOMPARE(grid2()->contents(), schedule);
            return;
        }
        QCOMPARE(grid1()->rowTexts(0).join(','), QStringLiteral("0%1:00").arg(target) + DefaultRow);
        QCOMPARE(grid1()->rowCount(), 2);
        if (target == 3) {
            QCOMPARE(grid2()->rowTexts(1).join(','), "2,2,2,2,2,2,2");
            QCOMPARE(text4()->geometry(), grid2()->cellRect(0, 0, m_form.get()));
            QCOMPARE(text4()->text(), "1");
        }
    }

    void save_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fault");
        QTest::newRow("shell characters")
            << QString("a&b;c|d>e<f$(g)`h`%i%^j'k\"l!m* -n?.qmv") << QString();
        QTest::newRow("file size limit reached while joining") << QString("week1.qmv") << "limit";
    }

    void save()
    {
        QFETCH(QString, name);
        QFETCH(QString, fault);
        // Files a shell would have touched when the name was taken apart.
        const QStringList bystanders = {"a", "b", "e<f$(g)`h`%i%^j'k\"l!m* -n?.qmv", name};
        for (const QString &file : bystanders)
            QVERIFY(writeAll(qmv::paths::programFile(file), "keep"));
        m_answerer->queue(QStringLiteral("cmdNo")); // to "File already exists"
        QVERIFY(openAndEdit(name));
        m_answerer->clear();
        rlimit normal{};
        getrlimit(RLIMIT_FSIZE, &normal);
        rlimit limited = normal;
        if (!fault.isEmpty()) {
            // Room for temp#3, not for the three programs joined. Writes past the limit fail
            // with EFBIG instead of killing the process, and bind root as well.
            std::signal(SIGXFSZ, SIG_IGN);
            limited.rlim_cur = EditedTemp3.size() + 100;
        }
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
        click("cmdSaveProgram");
        QVERIFY(setrlimit(RLIMIT_FSIZE, &normal) == 0);
        QStringList files = bystanders;
        files.sort();
        QCOMPARE(QDir(qmv::paths::dataDir()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 files);
        for (const QString &file : bystanders.mid(0, 3))
            QCOMPARE(readAll(qmv::paths::programFile(file)), "keep");
        const QString said = m_answerer->messages().join('|');
        QCOMPARE(m_form->pgmSaved, fault.isEmpty());
        if (!fault.isEmpty()) {
            QVERIFY2(said.contains(qmv::paths::programFile(name)) &&
                         !said.contains("Program saved") && !said.contains('|'),
                     qPrintable(said));
            QCOMPARE(readAll(qmv::paths::programFile(name)), "keep");
            return;
        }
        QCOMPARE(said, "Program saved...");
        QCOMPARE(readAll(qmv::paths::programFile(name)), EditedTemp1 + DefaultTemp2 + EditedTemp3);
        keys("08:15").simulate(box()); // into the first cell again
        QCOMPARE(grid1()->cellText(0, 0), "08:15");
    }

    void downloadWorkingFile_data()
    {
        QTest::addColumn<QString>("commands");
        QTest::addColumn<QByteArrayList>("opened"); // program 3 as each download window found it
        QTest::addColumn<bool>("saved");
        const QByteArray edited = ":P3\r\n15\r\n04:00" + EditedTemp3.mid(9);
        QTest::newRow("unsaved writes program 3")
            << QString("edit download") << QByteArrayList{edited} << false;
        QTest::newRow("saved and unchanged")
            << QString("save download") << QByteArrayList{EditedTemp3} << true;
        QTest::newRow("edited after save writes it again")
            << QString("save edit download") << QByteArrayList{edited} << false;
        QTest::newRow("edited and saved again")
            << QString("edit save download") << QByteArrayList{edited} << true;
        QTest::newRow("saved, previous and next write it")
            << QString("save edit previous next download") << QByteArrayList{edited} << false;
        QTest::newRow("unwritable working file opens nothing")
            << QString("block download") << QByteArrayList() << false;
    }

    void downloadWorkingFile()
    {
        QFETCH(QString, commands);
        DownloadCounter *form = openAndEdit();
        QVERIFY(form);
        const QString temp3 = qmv::paths::workingFile(3);
        for (const QString &command : commands.split(' ')) {
            if (command == QLatin1String("edit"))
                grid1()->setCellText(0, 0, QStringLiteral("04:00"));
            else if (command == QLatin1String("block"))
                QVERIFY(QFile::remove(temp3) && QDir().mkpath(temp3 + "/inside"));
            else if (command == QLatin1String("previous") || command == QLatin1String("next"))
                move(command == QLatin1String("next"));
            else
                click(command == QLatin1String("save") ? "cmdSaveProgram" : "cmdDownload");
        }
        QTEST(form->opened, "opened");
        // Written or not, the boxes stand where the working file was taken from.
        const bool written = !commands.startsWith(QLatin1String("block"));
        QCOMPARE(current(grid2()), written ? QPoint(0, 0) : QPoint(3, 1));
        QCOMPARE(text4()->geometry().topLeft(),
                 grid2()->cellRect(written ? 0 : 1, written ? 0 : 3, m_form.get()).topLeft());
        QCOMPARE(current(grid1()), written ? QPoint(0, 0) : QPoint(2, 5));
        QCOMPARE(box()->isReadOnly(), !written);
        QCOMPARE(workingBytes(1) + workingBytes(2), EditedTemp1 + DefaultTemp2);
        QTEST(form->pgmSaved, "saved");
        QCOMPARE(m_answerer->messages().join('|').contains(temp3), !written);
    }

    void newSaveAndEditFromTheMainWindow()
    {
        auto open = [](Form1 &main, const char *button, const QString &file) {
            main.setFileDialogRunner([file](QFileDialog &dialog) {
                dialog.selectFile(file);
                return int(QDialog::Accepted);
            });
            main.show();
            main.findChild<QPushButton *>(button)->click();
            return main.editor();
        };
        const QString path = qmv::paths::programFile(QStringLiteral("week1.qmv"));
        {
            Form1 main;
            Form2 *editor = open(main, "cmdNewProg", QStringLiteral("week1"));
            QVERIFY(editor && editor->isVisible() && !main.isVisible());
            keys("07:30{R}{E}{R}{R}12{D}").simulate(editor->findChild<QLineEdit *>("txtCellEdit"));
            auto *next = editor->findChild<QPushButton *>("cmdNextProgram");
            next->click();
            next->click();
            // Bell 1 follows program 1 Monday to Friday, Bell 2 program 2 on Sunday.
            keys("{B}1{R}{B}1{R}{B}1{R}{B}1{R}{B}1{R9}{B}2")
                .simulate(editor->findChild<QLineEdit *>("Text4"));
            editor->findChild<QPushButton *>("cmdSaveProgram")->click();
            QCOMPARE(m_answerer->messages(), QStringList{"Program saved..."});
        }
        Form1 main;
        Form2 *editor = open(main, "cmdEditProg", path);
        QVERIFY(editor);
        QCOMPARE(editor->findChild<CellGrid *>("Grid1")->rowTexts(0).join(','),
                 "07:30,ON,CONT,12,OFF,CONT,,OC");
        QCOMPARE(editor->findChild<CellGrid *>("Grid2")->contents().rows,
                 (QList<QStringList>{{"1", "1", "1", "1", "1", "3", "3"},
                                     {"3", "3", "3", "3", "3", "3", "2"}}));
        QCOMPARE(m_ended, 0);
    }
};

QTEST_MAIN(tst_Editor)
#include "tst_editor.moc"
