#include "cellgrid.h"
#include "form2.h"
#include "form2layout.h"
#include "lifecycle.h"
#include "messageboxanswerer.h"
#include "paths.h"
#include "programfile.h"
#include "twips.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using qmv::tw;
using qmv::twRect;

namespace {

const QByteArray DefaultRowBytes = "\tOFF\tCONT\t\tOFF\tCONT\t\tOC";
const QString DefaultRow = QStringLiteral(",OFF,CONT,,OFF,CONT,,OC");

QByteArray joinedRows(int count, const QByteArray &row = DefaultRowBytes)
{
    QByteArrayList list;
    for (int i = 0; i < count; ++i)
        list.append(row);
    return list.join('\r');
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

// A bell table written compactly: one entry per row, cells separated by commas.
qmv::CellTable bellTable(const QStringList &rows)
{
    qmv::CellTable table{qmv::BellColumns, {}};
    for (const QString &row : rows)
        table.rows.append(row.split(QLatin1Char(',')));
    return table;
}

// Rows whose Time column tells them apart: "00:00", "00:01", ...
QStringList numberedRows(int count)
{
    QStringList rows;
    for (int i = 0; i < count; ++i)
        rows.append(QStringLiteral("00:%1").arg(i, 2, 10, QLatin1Char('0')) + DefaultRow);
    return rows;
}

} // namespace

class tst_Form2 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newFile();
    void existingFileWithDifferentRowCounts();
    void fileAlreadyExists_data();
    void fileAlreadyExists();
    void damagedFileIsReported_data();
    void damagedFileIsReported();
    void unwritableWorkingFolderIsReported();

    void headerLayout_data();
    void headerLayout();
    void rowHeights_data();
    void rowHeights();
    void controlGeometry_data();
    void controlGeometry();
    void tableShape();
    void colours_data();
    void colours();
    void exitQuestion_data();
    void exitQuestion();

    void keySequences_data();
    void keySequences();
    void keyPressCopiesBeforeTheCharacter_data();
    void keyPressCopiesBeforeTheCharacter();
    void boxPlacement_data();
    void boxPlacement();
    void cursorStaysVisible();
    void pasteIsLimited();
    void grabWindow();

private:
    Form2 *openNew(const QString &title = QStringLiteral("week1.qmv"));
    Form2 *openExisting(const QByteArray &bytes);
    Form2 *openProgram(const qmv::CellTable &program1);
    bool show(Form2 *form);
    CellGrid *grid1() const { return m_form->findChild<CellGrid *>(QStringLiteral("Grid1")); }
    CellGrid *grid2() const { return m_form->findChild<CellGrid *>(QStringLiteral("Grid2")); }
    QLineEdit *box() const { return m_form->findChild<QLineEdit *>(QStringLiteral("txtCellEdit")); }
    QWidget *control(const QString &name) const { return m_form->findChild<QWidget *>(name); }

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<Form2> m_form;
    std::unique_ptr<qmvtest::MessageBoxAnswerer> m_answerer;
    int m_ended = 0;
};

void tst_Form2::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    qputenv("QMV_ROOT", m_root->path().toLocal8Bit());
    QVERIFY(QDir().mkpath(qmv::paths::dataDir()));
    QVERIFY(QDir().mkpath(qmv::paths::tmpDir()));
    m_ended = 0;
    qmv::setEndHandler([this] { ++m_ended; });
    m_answerer = std::make_unique<qmvtest::MessageBoxAnswerer>();
}

void tst_Form2::cleanup()
{
    m_form.reset();
    m_answerer.reset();
    qmv::setEndHandler(nullptr);
    qmv::resetEnding();
    m_root.reset();
}

Form2 *tst_Form2::openNew(const QString &title)
{
    m_form = std::make_unique<Form2>(false, qmv::paths::programFile(title), title);
    return m_form->load() ? m_form.get() : nullptr;
}

Form2 *tst_Form2::openExisting(const QByteArray &bytes)
{
    const QString path = qmv::paths::programFile(QStringLiteral("edit.qmv"));
    if (!writeAll(path, bytes))
        return nullptr;
    m_form = std::make_unique<Form2>(true, path, QStringLiteral("edit.qmv"));
    return m_form->load() ? m_form.get() : nullptr;
}

Form2 *tst_Form2::openProgram(const qmv::CellTable &program1)
{
    qmv::ProgramFile file;
    file.programs = {program1, qmv::defaultBellTable(), qmv::defaultBellTable()};
    file.schedule = qmv::defaultSchedule();
    return openExisting(qmv::programFileBytes(file));
}

bool tst_Form2::show(Form2 *form)
{
    form->show();
    return QTest::qWaitForWindowExposed(form);
}

void tst_Form2::newFile()
{
    Form2 *form = openNew();
    QVERIFY(form);

    const QByteArray defaults = joinedRows(15);
    QCOMPARE(readAll(qmv::paths::workingFile(1)), ":P1\r\n15\r\n" + defaults + "\r\n");
    QCOMPARE(readAll(qmv::paths::workingFile(2)), ":P2\r\n15\r\n" + defaults + "\r\n");
    QCOMPARE(readAll(qmv::paths::workingFile(3)),
             ":P3\r\n15\r\n" + defaults +
                 "\r\n\r\n\r\n\r\n2\r\n3\t3\t3\t3\t3\t3\t3\r3\t3\t3\t3\t3\t3\t3\r\n");
    QVERIFY(!QFile::exists(qmv::paths::programFile(QStringLiteral("week1.qmv"))));

    QCOMPARE(grid1()->rowCount(), 15);
    for (int row = 0; row < 15; ++row)
        QCOMPARE(grid1()->rowTexts(row).join(QLatin1Char(',')), DefaultRow);
    QCOMPARE(grid2()->contents(), qmv::defaultSchedule());
    QCOMPARE(grid1()->currentRow(), 0);
    QCOMPARE(grid1()->currentColumn(), 0);

    QCOMPARE(form->pgmCurrent, 1);
    QCOMPARE(form->pgmSaved, false);
    QCOMPARE(control(QStringLiteral("txtNextProgram"))->property("text").toString(), "1");
    QCOMPARE(control(QStringLiteral("txtPgmName"))->property("text").toString(), "week1.qmv");
    QVERIFY(!control(QStringLiteral("cmdSaveProgram"))->isEnabled());
    QVERIFY(!control(QStringLiteral("cmdDownload"))->isEnabled());
    for (const char *name : {"Grid2", "Text4", "Label3", "Label4", "Label5", "Label6", "Label8",
                             "Label9", "Label10", "Label11", "Label12"})
        QVERIFY2(control(QLatin1String(name))->isHidden(), name);
    QVERIFY(!box()->isHidden());
    QVERIFY(!box()->isReadOnly());
    QCOMPARE(box()->text(), QString());
    QCOMPARE(box()->geometry(), grid1()->cellRect(0, 0, form));
    QVERIFY(m_answerer->seen().isEmpty());

    // Typing can start at once.
    QVERIFY(show(form));
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    QTRY_VERIFY(box()->hasFocus());
}

void tst_Form2::existingFileWithDifferentRowCounts()
{
    const QByteArray program1 = "07:30\tON\tPULSE\t5\tOFF\tCONT\t\tON\r" + joinedRows(14);
    const QByteArray program2 = joinedRows(19) + "\r23:59\tOFF\tCONT\t\tON\tPULSE\t9\tOFF";
    const QByteArray program3 = joinedRows(17);
    const QByteArray schedule = "1\t2\t3\t1\t2\t3\t1\r2\t2\t2\t2\t2\t2\t2";
    const QByteArray file = ":P1\r\n15\r\n" + program1 + "\r\n:P2\r\n20\r\n" + program2 +
                            "\r\n:P3\r\n17\r\n" + program3 + "\r\n\r\n\r\n\r\n2\r\n" + schedule +
                            "\r\n";
    Form2 *form = openExisting(file);
    QVERIFY(form);

    QCOMPARE(readAll(qmv::paths::workingFile(1)), ":P1\r\n15\r\n" + program1 + "\r\n");
    QCOMPARE(readAll(qmv::paths::workingFile(2)), ":P2\r\n20\r\n" + program2 + "\r\n");
    QCOMPARE(readAll(qmv::paths::workingFile(3)),
             ":P3\r\n17\r\n" + program3 + "\r\n\r\n\r\n\r\n2\r\n" + schedule + "\r\n");
    QCOMPARE(readAll(qmv::paths::programFile(QStringLiteral("edit.qmv"))), file);

    QCOMPARE(grid1()->rowCount(), 15);
    QCOMPARE(grid1()->rowTexts(0).join(QLatin1Char(',')), "07:30,ON,PULSE,5,OFF,CONT,,ON");
    QCOMPARE(grid1()->rowTexts(14).join(QLatin1Char(',')), DefaultRow);
    QCOMPARE(grid2()->cellText(0, 1), "2");
    QCOMPARE(grid2()->cellText(1, 6), "2");
    QCOMPARE(control(QStringLiteral("Text4"))->property("text").toString(), "1");
    QCOMPARE(box()->text(), "07:30");
    QCOMPARE(control(QStringLiteral("txtPgmName"))->property("text").toString(), "edit.qmv");
}

void tst_Form2::fileAlreadyExists_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("opens");

    QTest::newRow("yes ends the tool") << "cmdYes" << false;
    QTest::newRow("no opens the defaults") << "cmdNo" << true;
}

void tst_Form2::fileAlreadyExists()
{
    QFETCH(QString, answer);
    QFETCH(bool, opens);

    const QString path = qmv::paths::programFile(QStringLiteral("week1.qmv"));
    QVERIFY(writeAll(path, "old content"));
    QVERIFY(writeAll(qmv::paths::workingFile(2), "earlier working file"));
    m_answerer->queue(answer);

    QCOMPARE(openNew() != nullptr, opens);

    QCOMPARE(m_answerer->seen().size(), 1);
    const qmvtest::SeenMessage seen = m_answerer->seen().first();
    QCOMPARE(seen.message, "File already exists\r\nContent will lost if you continue\r\nEXIT?");
    QCOMPARE(seen.title, "Confirm Program Close");
    QCOMPARE(seen.style, 2);
    QCOMPARE(seen.icon, 2);
    QCOMPARE(m_ended, opens ? 0 : 1);
    QCOMPARE(readAll(path), "old content");
    if (opens) {
        QCOMPARE(readAll(qmv::paths::workingFile(2)), ":P2\r\n15\r\n" + joinedRows(15) + "\r\n");
        QCOMPARE(grid1()->contents(), qmv::defaultBellTable());
    } else {
        QCOMPARE(readAll(qmv::paths::workingFile(2)), "earlier working file");
        QVERIFY(!QFile::exists(qmv::paths::workingFile(1)));
        QVERIFY(!QFile::exists(qmv::paths::workingFile(3)));
    }
}

void tst_Form2::damagedFileIsReported_data()
{
    QTest::addColumn<QByteArray>("bytes"); // "<none>": no file at all
    QTest::addColumn<QString>("problem");

    const QByteArray good = joinedRows(15);
    const QByteArray tail = "\r\n:P3\r\n15\r\n" + good + "\r\n\r\n\r\n\r\n2\r\n" +
                            "3\t3\t3\t3\t3\t3\t3\r3\t3\t3\t3\t3\t3\t3\r\n";
    QTest::newRow("missing file") << QByteArray("<none>") << "Cannot open";
    QTest::newRow("empty file") << QByteArray() << "lines";
    QTest::newRow("too few lines") << QByteArray(":P1\r\n15\r\n" + good + "\r\n") << "lines";
    QTest::newRow("row count not a number")
        << QByteArray(":P1\r\nx15\r\n" + good + "\r\n:P2\r\n15\r\n" + good + tail) << "line 2";
    QTest::newRow("row count disagrees with the rows")
        << QByteArray(":P1\r\n15\r\n" + good + "\r\n:P2\r\n16\r\n" + good + tail) << "line 6";
    QTest::newRow("row with too few cells")
        << QByteArray(":P1\r\n15\r\n" + good + "\r\n:P2\r\n15\r\n" + joinedRows(14) +
                      "\r\tOFF\r\n" + tail.mid(2))
        << "line 6";
}

void tst_Form2::damagedFileIsReported()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, problem);

    const QString path = qmv::paths::programFile(QStringLiteral("bad.qmv"));
    if (bytes != "<none>")
        QVERIFY(writeAll(path, bytes));
    m_answerer->setDefaultAnswer(QStringLiteral("cmdOKonly"));
    m_form = std::make_unique<Form2>(true, path, QStringLiteral("bad.qmv"));

    QVERIFY(!m_form->load());

    QCOMPARE(m_answerer->seen().size(), 1);
    const QString message = m_answerer->seen().first().message;
    QVERIFY2(message.contains(path), qPrintable(message));
    QVERIFY2(message.contains(problem), qPrintable(message));
    QCOMPARE(m_answerer->seen().first().style, 3);
    QCOMPARE(QDir(qmv::paths::tmpDir()).entryList(QDir::Files), QStringList());
    QCOMPARE(m_ended, 0);
}

void tst_Form2::unwritableWorkingFolderIsReported()
{
    QVERIFY(QDir(qmv::paths::tmpDir()).removeRecursively());
    m_answerer->setDefaultAnswer(QStringLiteral("cmdOKonly"));

    QVERIFY(!openNew());

    QCOMPARE(m_answerer->seen().size(), 1);
    QVERIFY(m_answerer->seen().first().message.contains(qmv::paths::workingFile(1)));
    QCOMPARE(m_ended, 0);
}

void tst_Form2::headerLayout_data()
{
    QTest::addColumn<int>("label"); // 0-7 the column labels, 8-10 BELL 1, BELL 2, LIGHT
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("width");

    const char *names[] = {"time",        "condition 1", "action 1",   "seconds 1",
                           "condition 2", "action 2",    "seconds 2",  "light",
                           "bell 1",      "bell 2",      "light group"};
    const float lefts[] = {360, 1760, 3150, 4550, 5950, 7350, 8750, 10150, 1800, 6000, 10200};
    const float widths[] = {1400, 1400, 1400, 1400, 1400, 1400, 1400, 1400, 4120, 4120, 1400};
    for (int i = 0; i < 11; ++i)
        QTest::newRow(names[i]) << i << lefts[i] << widths[i];
}

void tst_Form2::headerLayout()
{
    QFETCH(int, label);
    QFETCH(float, left);
    QFETCH(float, width);

    const qmv::layout::HeaderLayout layout = qmv::layout::headerLayout(360, 1400);
    const qmv::layout::LabelSpan spans[] = {layout.columns[0], layout.columns[1], layout.columns[2],
                                            layout.columns[3], layout.columns[4], layout.columns[5],
                                            layout.columns[6], layout.columns[7], layout.bell1,
                                            layout.bell2,      layout.light};
    QCOMPARE(spans[label].left, left);
    QCOMPARE(spans[label].width, width);
}

void tst_Form2::rowHeights_data()
{
    QTest::addColumn<int>("designed");
    QTest::addColumn<int>("scaled");

    QTest::newRow("whole result") << 240 << 360;
    QTest::newRow("half rounds up to even") << 241 << 362;
    QTest::newRow("half rounds down to even") << 243 << 364;
    QTest::newRow("one twip") << 1 << 2;
    QTest::newRow("three twips") << 3 << 4;
    QTest::newRow("zero") << 0 << 0;
}

void tst_Form2::rowHeights()
{
    QFETCH(int, designed);
    QFETCH(int, scaled);

    QCOMPARE(qmv::layout::scaledRowHeight(designed), scaled);
}

void tst_Form2::controlGeometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips"); // left, top, width, height

    // clang-format off
    const struct { const char *name; int left, top, width, height; } controls[] = {
        {"cmdPrevPgm", 480, 120, 1575, 375},   {"Label2", 2160, 240, 1755, 375},
        {"txtNextProgram", 3960, 120, 375, 405}, {"cmdNextProgram", 4560, 120, 1575, 375},
        {"lblPgmName", 7920, 240, 1935, 375},  {"txtPgmName", 9960, 90, 1695, 405},
        {"lblBell1", 1800, 720, 4120, 375},    {"lblBell2", 6000, 720, 4120, 375},
        {"lblFan", 10200, 720, 1400, 375},
        {"lblTime", 360, 1200, 1400, 375},     {"lblCond1", 1760, 1200, 1400, 375},
        {"lblAction1", 3150, 1200, 1400, 375}, {"lblSeconds1", 4550, 1200, 1400, 375},
        {"lblCond2", 5950, 1200, 1400, 375},   {"lblAction2", 7350, 1200, 1400, 375},
        {"lblSeconds2", 8750, 1200, 1400, 375}, {"lblFanCond", 10150, 1200, 1400, 375},
        {"Grid1", 360, 1560, 11235, 5535},
        {"Label3", 840, 7200, 975, 255},       {"Label4", 1800, 7200, 1035, 255},
        {"Label8", 2760, 7200, 975, 255},      {"Label9", 3720, 7200, 975, 255},
        {"Label10", 4680, 7200, 1035, 255},    {"Label11", 5640, 7200, 975, 255},
        {"Label12", 6600, 7200, 975, 255},
        {"Label5", 120, 7680, 615, 255},       {"Label6", 120, 8040, 615, 255},
        {"Grid2", 840, 7560, 6855, 945},
        {"cmdDownload", 7800, 7920, 1335, 375}, {"cmdSaveProgram", 9360, 7800, 1095, 555},
        {"cmdExit", 10680, 7920, 1095, 375},
    };
    // clang-format on
    for (const auto &c : controls)
        QTest::newRow(c.name) << QString::fromLatin1(c.name)
                              << QRect(c.left, c.top, c.width, c.height);
}

void tst_Form2::controlGeometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);

    QVERIFY(openNew());
    QWidget *widget = control(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), twRect(twips.x(), twips.y(), twips.width(), twips.height()));
    QCOMPARE(m_form->size(), QSize(tw(11880), tw(8595)));
    QCOMPARE(m_form->windowTitle(), "Tavrel Systems");
}

void tst_Form2::tableShape()
{
    QVERIFY(openNew());
    const int widths[] = {1400, 1400, 1400, 1400, 1410, 1400, 1410, 1400};
    for (int column = 0; column < 8; ++column) {
        QCOMPARE(grid1()->columnWidth(column), tw(widths[column]));
        const bool centred = column != 0 && column != 3 && column != 6;
        QCOMPARE(grid1()->columnAlignment(column) == Qt::AlignCenter, centred);
    }
    for (int row = 0; row < grid1()->rowCount(); ++row)
        QCOMPARE(grid1()->rowHeight(row), tw(360));
    QCOMPARE(grid2()->rowHeight(0), tw(360));
    QCOMPARE(grid2()->rowHeight(1), tw(360));
    QCOMPARE(grid1()->font().pointSizeF(), 15.0);
    QCOMPARE(box()->font().pointSizeF(), 13.0);
    QCOMPARE(control(QStringLiteral("Text4"))->font().pointSizeF(), 10.0);
    QCOMPARE(control(QStringLiteral("lblSeconds2"))->font().pointSizeF(), 15.0);
    QCOMPARE(control(QStringLiteral("lblFan"))->font().pointSizeF(), 15.0);
    QVERIFY(control(QStringLiteral("lblFan"))->font().bold());
    QCOMPARE(grid2()->font().pointSizeF(), 8.25);
    // The current cell stays marked while a message window is in front.
    const QPalette colours = grid1()->palette();
    QCOMPARE(colours.color(QPalette::Inactive, QPalette::Highlight),
             colours.color(QPalette::Active, QPalette::Highlight));
}

void tst_Form2::colours_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPoint>("at"); // in the widget, pixels
    QTest::addColumn<QColor>("colour");

    QTest::newRow("window") << "Form2" << QPoint(2, 2) << QColor(0x00, 0xC0, 0xC0);
    QTest::newRow("time label") << "lblTime" << QPoint(2, 2) << QColor(0xFF, 0x80, 0x80);
    QTest::newRow("condition label") << "lblCond2" << QPoint(2, 2) << QColor(0xFF, 0xC0, 0x80);
    QTest::newRow("action label") << "lblAction1" << QPoint(2, 2) << QColor(0xFF, 0xFF, 0x80);
    QTest::newRow("seconds label") << "lblSeconds2" << QPoint(2, 2) << QColor(0x80, 0xFF, 0x80);
    QTest::newRow("light label") << "lblFanCond" << QPoint(2, 2) << QColor(0x80, 0xFF, 0xFF);
    QTest::newRow("group label") << "lblBell2" << QPoint(2, 2) << QColor(0xC0, 0xFF, 0xC0);
    // Row 1 of the table: a cell, the line below it, and past the last row.
    QTest::newRow("cell") << "Grid1" << QPoint(tw(2800) + 4, tw(360) + 4)
                          << QColor(0xC0, 0xFF, 0xFF);
    QTest::newRow("grid line") << "Grid1" << QPoint(tw(2800) + 4, 2 * tw(360))
                               << QColor(0xC0, 0xC0, 0xC0);
    QTest::newRow("below the rows")
        << "Grid1" << QPoint(tw(2800) + 4, 1 + 15 * tw(360) + 2) << QColor(0x00, 0xC0, 0xC0);
}

void tst_Form2::colours()
{
    QFETCH(QString, name);
    QFETCH(QPoint, at);
    QFETCH(QColor, colour);

    QVERIFY(openNew());
    QVERIFY(show(m_form.get()));
    QWidget *widget = name == QLatin1String("Form2") ? m_form.get() : control(name);
    const QImage image = widget->grab().toImage();
    QCOMPARE(image.pixelColor(at).name(), colour.name());
}

void tst_Form2::exitQuestion_data()
{
    QTest::addColumn<bool>("byClosing");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("ended");

    QTest::newRow("exit answered yes") << false << "cmdYes" << 1;
    QTest::newRow("exit answered no") << false << "cmdNo" << 0;
    QTest::newRow("exit message closed") << false << "close" << 0;
    QTest::newRow("window closed, answered yes") << true << "cmdYes" << 1;
    QTest::newRow("window closed, answered no") << true << "cmdNo" << 0;
}

void tst_Form2::exitQuestion()
{
    QFETCH(bool, byClosing);
    QFETCH(QString, answer);
    QFETCH(int, ended);

    QVERIFY(openNew());
    QVERIFY(show(m_form.get()));
    QTest::keyClicks(box(), QStringLiteral("07:30"));
    const QByteArray before = readAll(qmv::paths::workingFile(1));
    m_answerer->queue(answer);

    if (byClosing)
        m_form->close();
    else
        qobject_cast<QPushButton *>(control(QStringLiteral("cmdExit")))->click();

    QCOMPARE(m_answerer->seen().size(), 1);
    QCOMPARE(m_answerer->seen().first().message,
             "Are you sure ?\r\nDo you really want to Exit ? ? ?");
    QCOMPARE(m_answerer->seen().first().title, "Confirm Program Close");
    QCOMPARE(m_answerer->seen().first().style, 2);
    QCOMPARE(m_answerer->seen().first().icon, 2);
    QCOMPARE(m_ended, ended);
    QVERIFY(m_form->isVisible());
    QCOMPARE(grid1()->cellText(0, 0), "07:30");
    QCOMPARE(readAll(qmv::paths::workingFile(1)), before);
}

void tst_Form2::keySequences_data()
{
    QTest::addColumn<QStringList>("table"); // program 1; empty: 15 default rows
    QTest::addColumn<QPoint>("start");      // column, row
    QTest::addColumn<QTestEventList>("keys");
    QTest::addColumn<QStringList>("expected"); // "row=cells" of rows to check
    QTest::addColumn<QPoint>("end");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QString>("boxText");

    auto keys = [](const QString &typed, std::initializer_list<Qt::Key> after = {}) {
        QTestEventList list;
        list.addKeyClicks(typed);
        for (Qt::Key key : after)
            list.addKeyClick(key);
        return list;
    };
    auto then = [](QTestEventList list, std::initializer_list<Qt::Key> more,
                   const QString &typed = QString()) {
        for (Qt::Key key : more)
            list.addKeyClick(key);
        list.addKeyClicks(typed);
        return list;
    };
    const QStringList defaults;
    const QString bothOn = QStringLiteral("07:30,ON,PULSE,5,ON,CONT,,OC");
    const QString row0 = QStringLiteral("0=");
    using K = Qt::Key;

    // clang-format off
    QTest::newRow("time valid, right")
        << defaults << QPoint(0, 0) << keys("07:30", {K::Key_Right})
        << QStringList{row0 + "07:30" + DefaultRow} << QPoint(1, 0) << 15 << "OFF";
    QTest::newRow("time short, emptied and left")
        << defaults << QPoint(0, 0) << keys("7:30", {K::Key_Right})
        << QStringList{row0 + DefaultRow} << QPoint(1, 0) << 15 << "OFF";
    QTest::newRow("time bad separator stays")
        << defaults << QPoint(0, 0) << keys("07-30", {K::Key_Right})
        << QStringList{row0 + "07-30" + DefaultRow} << QPoint(0, 0) << 15 << "07-30";
    QTest::newRow("time letters stay")
        << defaults << QPoint(0, 0) << keys("ab:30", {K::Key_Down})
        << QStringList{row0 + "ab:30" + DefaultRow} << QPoint(0, 0) << 15 << "ab:30";
    QTest::newRow("time hour 24 stays")
        << defaults << QPoint(0, 0) << keys("24:00", {K::Key_Right})
        << QStringList{row0 + "24:00" + DefaultRow} << QPoint(0, 0) << 15 << "24:00";
    QTest::newRow("time corrected after staying")
        << defaults << QPoint(0, 0)
        << then(then(keys("24:00", {K::Key_Right, K::Key_Backspace, K::Key_Backspace,
                                    K::Key_Backspace, K::Key_Backspace, K::Key_Backspace}),
                     {}, "23:00"),
                {K::Key_Right})
        << QStringList{row0 + "23:00" + DefaultRow} << QPoint(1, 0) << 15 << "OFF";
    QTest::newRow("time blank at the end trimmed by the next key")
        << defaults << QPoint(0, 0) << keys("07:3 0", {K::Key_Right})
        << QStringList{row0 + "07:30" + DefaultRow} << QPoint(1, 0) << 15 << "OFF";
    QTest::newRow("sixth character refused")
        << defaults << QPoint(0, 0) << keys("07:301")
        << QStringList{row0 + "07:30" + DefaultRow} << QPoint(0, 0) << 15 << "07:30";
    QTest::newRow("seconds zero emptied")
        << defaults << QPoint(3, 0) << keys("0", {K::Key_Right})
        << QStringList{row0 + DefaultRow} << QPoint(4, 0) << 15 << "OFF";
    QTest::newRow("seconds 99 kept by up at row 0")
        << defaults << QPoint(3, 0) << keys("99", {K::Key_Up})
        << QStringList{row0 + ",OFF,CONT,99,OFF,CONT,,OC"} << QPoint(3, 0) << 15 << "99";
    QTest::newRow("seconds 99 emptied for good by down")
        << defaults << QPoint(3, 0) << keys("99", {K::Key_Down})
        << QStringList{row0 + DefaultRow} << QPoint(3, 1) << 15 << "";
    QTest::newRow("enter bell 1 twice")
        << defaults << QPoint(1, 0) << keys("", {K::Key_Return, K::Key_Enter})
        << QStringList{row0 + DefaultRow} << QPoint(1, 0) << 15 << "OFF";
    QTest::newRow("enter light three times")
        << defaults << QPoint(7, 0) << keys("", {K::Key_Return, K::Key_Return, K::Key_Return})
        << QStringList{row0 + DefaultRow} << QPoint(7, 0) << 15 << "OC";
    QTest::newRow("enter in time changes nothing")
        << defaults << QPoint(0, 0) << keys("07:30", {K::Key_Return})
        << QStringList{row0 + "07:30" + DefaultRow} << QPoint(0, 0) << 15 << "07:30";
    QTest::newRow("typing into a word column refused")
        << defaults << QPoint(1, 0) << keys("ab1", {K::Key_Backspace, K::Key_Delete})
        << QStringList{row0 + DefaultRow} << QPoint(1, 0) << 14 << "OFF";
    QTest::newRow("keys the box ignores leave the cursor")
        << defaults << QPoint(2, 4)
        << keys("x", {K::Key_PageDown, K::Key_PageUp, K::Key_Home, K::Key_End, K::Key_Escape,
                      K::Key_Space})
        << QStringList{"4=" + DefaultRow} << QPoint(2, 4) << 15 << "CONT";
    QTest::newRow("up at row 0 leaves the cursor")
        << defaults << QPoint(1, 0) << keys("", {K::Key_Up, K::Key_Up})
        << QStringList{row0 + DefaultRow} << QPoint(1, 0) << 15 << "OFF";
    QTest::newRow("bell 2 takes bell 1's action and seconds")
        << QStringList{bothOn} << QPoint(4, 0) << keys("", {K::Key_Right})
        << QStringList{row0 + "07:30,ON,PULSE,5,ON,PULSE,5,OC"} << QPoint(7, 0) << 1 << "OC";
    QTest::newRow("left from bell 2 action gives it to bell 1")
        << QStringList{"07:30,ON,CONT,5,ON,PULSE,5,OC"} << QPoint(5, 0) << keys("", {K::Key_Left})
        << QStringList{row0 + "07:30,ON,PULSE,5,ON,PULSE,5,OC"} << QPoint(4, 0) << 1 << "ON";
    QTest::newRow("a whole row typed")
        << defaults << QPoint(0, 0)
        << then(then(keys("07:30", {K::Key_Right, K::Key_Return, K::Key_Right, K::Key_Return,
                                    K::Key_Right}), {}, "5"),
                {K::Key_Right, K::Key_Return, K::Key_Right, K::Key_Return, K::Key_Right})
        << QStringList{row0 + "07:30,ON,PULSE,5,ON,PULSE,5,ON", "1=" + DefaultRow}
        << QPoint(0, 1) << 15 << "";
    QTest::newRow("left wraps from the second last row")
        << defaults << QPoint(0, 13) << keys("", {K::Key_Left})
        << QStringList{} << QPoint(7, 12) << 15 << "OC";
    QTest::newRow("right from the last cell grows")
        << defaults << QPoint(7, 14) << keys("", {K::Key_Right})
        << QStringList{"15=" + DefaultRow} << QPoint(0, 15) << 16 << "";
    QTest::newRow("down in the last two rows grows")
        << defaults << QPoint(2, 13) << keys("", {K::Key_Down, K::Key_Down})
        << QStringList{"15=" + DefaultRow, "16=" + DefaultRow} << QPoint(2, 15) << 17 << "CONT";
    QTest::newRow("delete in the time column removes the row")
        << numberedRows(15) << QPoint(0, 5) << keys("", {K::Key_Delete})
        << QStringList{"4=00:04" + DefaultRow, "5=00:06" + DefaultRow} << QPoint(0, 5) << 14
        << "00:06";
    QTest::newRow("delete many rows down to one")
        << numberedRows(15) << QPoint(3, 0)
        << keys("", {K::Key_Delete, K::Key_Delete, K::Key_Delete, K::Key_Delete, K::Key_Delete,
                     K::Key_Delete, K::Key_Delete, K::Key_Delete, K::Key_Delete, K::Key_Delete,
                     K::Key_Delete, K::Key_Delete, K::Key_Delete, K::Key_Delete})
        << QStringList{row0 + "00:14" + DefaultRow} << QPoint(3, 0) << 1 << "";
    QTest::newRow("delete on one row moves to bell 1")
        << QStringList{"07:30" + DefaultRow} << QPoint(6, 0) << keys("", {K::Key_Delete})
        << QStringList{row0 + "07:30" + DefaultRow} << QPoint(1, 0) << 1 << "OFF";
    // clang-format on
}

void tst_Form2::keySequences()
{
    QFETCH(QStringList, table);
    QFETCH(QPoint, start);
    QFETCH(QTestEventList, keys);
    QFETCH(QStringList, expected);
    QFETCH(QPoint, end);
    QFETCH(int, rowCount);
    QFETCH(QString, boxText);

    QVERIFY(table.isEmpty() ? openNew() : openProgram(bellTable(table)));
    QVERIFY(show(m_form.get()));
    grid1()->setCurrentCell(start.y(), start.x());
    m_form->PlaceTextbox();

    keys.simulate(box());

    for (const QString &entry : expected) {
        const int row = entry.section(QLatin1Char('='), 0, 0).toInt();
        QCOMPARE(grid1()->rowTexts(row).join(QLatin1Char(',')), entry.section(QLatin1Char('='), 1));
    }
    QCOMPARE(QPoint(grid1()->currentColumn(), grid1()->currentRow()), end);
    QCOMPARE(grid1()->rowCount(), rowCount);
    QCOMPARE(box()->text(), boxText);
    QCOMPARE(box()->isReadOnly(), end.x() != 0 && end.x() != 3 && end.x() != 6);
    const QList<QTableWidgetItem *> selected = grid1()->selectedItems();
    if (!selected.isEmpty()) {
        QCOMPARE(selected.size(), 1);
        QCOMPARE(QPoint(selected.first()->column(), selected.first()->row()), end);
    }
}

void tst_Form2::keyPressCopiesBeforeTheCharacter_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<QString>("afterPress");
    QTest::addColumn<QString>("afterRelease");

    QTest::newRow("backspace does not copy") << "5 " << Qt::Key_Backspace << "5 "
                                             << "";
    QTest::newRow("character copies the trimmed text") << "5 " << Qt::Key_7 << "5"
                                                       << "57";
    QTest::newRow("blank lasts until the next key") << "1" << Qt::Key_Space << "1"
                                                    << "1 ";
}

void tst_Form2::keyPressCopiesBeforeTheCharacter()
{
    QFETCH(QString, typed);
    QFETCH(Qt::Key, key);

    QVERIFY(openNew());
    grid1()->setCurrentCell(0, 3);
    m_form->PlaceTextbox();
    QTest::keyClicks(box(), typed);
    QCOMPARE(grid1()->cellText(0, 3), typed);

    QTest::keyPress(box(), key);
    QTEST(grid1()->cellText(0, 3), "afterPress");
    QTest::keyRelease(box(), key);
    QTEST(grid1()->cellText(0, 3), "afterRelease");
}

void tst_Form2::boxPlacement_data()
{
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<QPoint>("cell");

    QTest::newRow("right to a word column") << QPoint(0, 0) << Qt::Key_Right << QPoint(1, 0);
    QTest::newRow("down to a seconds column") << QPoint(3, 0) << Qt::Key_Down << QPoint(3, 1);
    QTest::newRow("left to the wider column") << QPoint(5, 7) << Qt::Key_Left << QPoint(4, 7);
    QTest::newRow("enter re-places in place") << QPoint(7, 9) << Qt::Key_Return << QPoint(7, 9);
}

void tst_Form2::boxPlacement()
{
    QFETCH(QPoint, start);
    QFETCH(Qt::Key, key);
    QFETCH(QPoint, cell);

    QVERIFY(openNew());
    QVERIFY(show(m_form.get()));
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    grid1()->setCurrentCell(start.y(), start.x());
    grid1()->setFocus();
    QTest::keyClick(box(), key);

    const QRect rect = grid1()->visualRect(grid1()->model()->index(cell.y(), cell.x()));
    const QPoint topLeft = grid1()->viewport()->mapTo(m_form.get(), rect.topLeft());
    QCOMPARE(box()->pos(), topLeft);
    QCOMPARE(box()->width(), grid1()->columnWidth(cell.x()));
    QCOMPARE(box()->height(), tw(360 - 200));
    QTRY_VERIFY(box()->hasFocus());
}

void tst_Form2::cursorStaysVisible()
{
    QVERIFY(openNew());
    QVERIFY(show(m_form.get()));
    const QRect viewport = grid1()->viewport()->rect();
    auto check = [&] {
        const QRect cell = grid1()->visualRect(grid1()->currentIndex());
        QVERIFY2(viewport.contains(cell),
                 qPrintable(QStringLiteral("row %1 outside the table").arg(grid1()->currentRow())));
        QCOMPARE(box()->pos(), grid1()->viewport()->mapTo(m_form.get(), cell.topLeft()));
    };
    for (int i = 0; i < 30; ++i) {
        QTest::keyClick(box(), Qt::Key_Down);
        check();
    }
    QCOMPARE(grid1()->currentRow(), 30);
    QVERIFY(grid1()->verticalScrollBar()->value() > 0);
    for (int i = 0; i < 30; ++i) {
        QTest::keyClick(box(), Qt::Key_Up);
        check();
    }
    QCOMPARE(grid1()->verticalScrollBar()->value(), 0);
}

void tst_Form2::pasteIsLimited()
{
    QVERIFY(openNew());
    QGuiApplication::clipboard()->setText(QStringLiteral("1\t2\r3\n456789"));
    QTest::keyClicks(box(), QStringLiteral("0"));
    QTest::keyClick(box(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box()->text(), "01234");
    QCOMPARE(grid1()->cellText(0, 0), "01234");
}

void tst_Form2::grabWindow()
{
    QVERIFY(openNew());
    QVERIFY(show(m_form.get()));
    const QString dir =
        qEnvironmentVariable("QMV_SCREENSHOT_DIR", QCoreApplication::applicationDirPath());
    QVERIFY(m_form->grab().save(dir + QStringLiteral("/editor-new-program1.png")));

    QTest::keyClicks(box(), QStringLiteral("07:30"));
    for (Qt::Key key :
         {Qt::Key_Right, Qt::Key_Return, Qt::Key_Right, Qt::Key_Return, Qt::Key_Right})
        QTest::keyClick(box(), key);
    QTest::keyClicks(box(), QStringLiteral("5"));
    for (int i = 0; i < 20; ++i)
        QTest::keyClick(box(), Qt::Key_Down);
    QVERIFY(m_form->grab().save(dir + QStringLiteral("/editor-typed-program1.png")));
}

QTEST_MAIN(tst_Form2)
#include "tst_form2.moc"
