#pragma once

// What the editor window tests share: a fresh drive root per test, the message answerer, and
// the files and key scripts the tests write and replay.

#include "cellgrid.h"
#include "form2.h"
#include "lifecycle.h"
#include "messageboxanswerer.h"
#include "paths.h"
#include "programfile.h"
#include "twips.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

#include <csignal>
#include <memory>

const QByteArray DefaultRowBytes = "\tOFF\tCONT\t\tOFF\tCONT\t\tOC";
const QString DefaultRow = QStringLiteral(",OFF,CONT,,OFF,CONT,,OC");
const QByteArray DefaultScheduleBlock =
    "\r\n\r\n\r\n2\r\n3\t3\t3\t3\t3\t3\t3\r3\t3\t3\t3\t3\t3\t3\r\n";

inline QByteArray joinedRows(int count)
{
    return QByteArrayList(count, DefaultRowBytes).join('\r');
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray workingBytes(int program)
{
    return readAll(qmv::paths::workingFile(program));
}

// Two rows, the first one's Time cell telling the program apart: "0n:00".
inline QByteArray planted(int program)
{
    const QByteArray n = QByteArray::number(program);
    return ":P" + n + "\r\n2\r\n0" + n + ":00" + DefaultRowBytes + "\r" + DefaultRowBytes + "\r\n" +
           (program == 3 ? "\r\n\r\n\r\n2\r\n1\t1\t1\t1\t1\t1\t1\r2\t2\t2\t2\t2\t2\t2\r\n" : "");
}

// "07:30{R}{D3}": "07:30" typed, then Right, then Down three times; "{BackPress}": Backspace
// pressed and not yet released; "{Paste}": Ctrl+V; "{Undo}": Ctrl+Z; "{Redo}", "{RedoY}":
// Ctrl+Shift+Z, Ctrl+Y; "{SelectBack}": Shift+Home, selecting all before the cursor.
inline QTestEventList keys(const QString &script)
{
    static const QHash<QString, Qt::Key> named = {
        {"R", Qt::Key_Right},     {"L", Qt::Key_Left},        {"U", Qt::Key_Up},
        {"D", Qt::Key_Down},      {"E", Qt::Key_Return},      {"X", Qt::Key_Delete},
        {"B", Qt::Key_Backspace}, {"PgDn", Qt::Key_PageDown}, {"PgUp", Qt::Key_PageUp},
        {"Home", Qt::Key_Home},   {"End", Qt::Key_End},       {"Esc", Qt::Key_Escape}};
    static const QHash<QString, QKeyCombination> chords = {
        {"Paste", Qt::CTRL | Qt::Key_V},
        {"SelectBack", Qt::SHIFT | Qt::Key_Home},
        {"Undo", Qt::CTRL | Qt::Key_Z},
        {"Redo", Qt::CTRL | Qt::SHIFT | Qt::Key_Z},
        {"RedoY", Qt::CTRL | Qt::Key_Y}};
    static const QRegularExpression token(QStringLiteral("\\{([A-Za-z]+)(\\d*)\\}|([^{])"));
    QTestEventList list;
    for (auto it = token.globalMatch(script); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString name = match.captured(1);
        if (name == QLatin1String("BackPress"))
            list.addKeyPress(Qt::Key_Backspace);
        else if (chords.contains(name))
            list.addKeyClick(chords[name].key(), chords[name].keyboardModifiers());
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

class EditorFixture : public QObject
{
protected:
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

    // The box shows its whole text, covers its cell and aligns its word as the column does, and
    // no scroll bar covers the LIGHT column.
    void checkReadable()
    {
        QVERIFY(box()->rect().marginsRemoved(box()->textMargins()).height() >=
                box()->fontMetrics().height());
        const QRect cell =
            grid1()->cellRect(grid1()->currentRow(), grid1()->currentColumn(), m_form.get());
        QCOMPARE(box()->geometry(), cell);
        QCOMPARE(box()->alignment(), grid1()->columnAlignment(grid1()->currentColumn()));
        QTRY_VERIFY(grid1()->columnViewportPosition(7) + grid1()->columnWidth(7) <=
                    grid1()->viewport()->width());
        QVERIFY(m_form->rect().contains(grid1()->geometry()));
    }

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<Form2> m_form;
    std::unique_ptr<qmvtest::MessageBoxAnswerer> m_answerer;
    int m_ended = 0;

    void setUp()
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

    void tearDown()
    {
        m_form.reset();
        m_answerer.reset();
        qmv::setEndHandler(nullptr);
        qmv::resetEnding();
        m_root.reset();
    }
};
