#include "form1.h"
#include "form2.h"
#include "lifecycle.h"
#include "messageboxanswerer.h"
#include "paths.h"
#include "programfile.h"
#include "rowencoding.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray Keep = "another program file, never touched";

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A row the controller can take: "D", hh:mm, three digits of flags, two or three of seconds.
bool wellFormed(const QStringList &row)
{
    const qmv::BellRowEncoding encoded = qmv::encodeBellRow(row);
    static const QRegularExpression command("^D\\d\\d:\\d\\d\\d{3}\\d{2,3}$");
    return encoded.outcome != qmv::BellRowEncoding::Send ||
           command.match(QString::fromLatin1(encoded.command)).hasMatch();
}

// Every byte a cell can hold, five to a cell, eight cells to a row, in all three programs.
QByteArray everyByteFile()
{
    QByteArray clip;
    for (int b = 1, n = 0; b < 256; ++b) {
        if (b == '\t' || b == '\r' || b == '\n')
            continue;
        clip += (n > 0 && n % 5 == 0 ? (n % 40 ? "\t" : "\r") : "") + QByteArray(1, char(b));
        ++n;
    }
    const QByteArray block = "\r\n7\r\n" + clip + "\t\t\t\t\t\r\n";
    return ":P1" + block + ":P2" + block + ":P3" + block +
           "\r\n\r\n\r\n2\r\n1\t\xff\t\xe9\t \t\"\t%\t3\r3\t3\t3\t3\t3\t3\t3\r\n";
}

// DOWNLOAD brings the working files up to date, which is all the download reads; its window
// needs a controller and stays shut here.
class Editor : public Form2
{
public:
    using Form2::Form2;
    void openDownloadWindow() override {}
};

void press(QWidget *window, std::initializer_list<const char *> buttons)
{
    for (const char *button : buttons)
        window->findChild<QPushButton *>(button)->click();
}

// SAVE is offered with program 3 shown; each move rewrites a working file from the table.
void saveFromProgram1(QWidget *editor)
{
    press(editor, {"cmdNextProgram", "cmdNextProgram", "cmdSaveProgram"});
}

} // namespace

class tst_Hostile : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        qputenv("QMV_ROOT", m_root->path().toLocal8Bit());
        qmv::setEndHandler([] {});
        m_answerer = std::make_unique<qmvtest::MessageBoxAnswerer>();
        m_answerer->setDefaultAnswer("cmdOKonly");
        QFile keep(qmv::paths::programFile("keep.qmv"));
        QVERIFY(QDir().mkpath(qmv::paths::dataDir()) && QDir().mkpath(qmv::paths::tmpDir()));
        QVERIFY(keep.open(QIODevice::WriteOnly) && keep.write(Keep) == Keep.size());
    }

    void cleanup()
    {
        m_answerer.reset();
        qmv::setEndHandler(nullptr);
        qmv::resetEnding();
    }

    void hostileName_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved"); // in the data folder
        // The file dialog reads double quotes as a list of names; the next test saves them.
        auto row = [](const char *name, const char *typed, const char *saved = nullptr) {
            QTest::newRow(name) << QString(typed) << QString(saved ? saved : typed);
        };
        row("spaces", "term 2 week 1", "term 2 week 1.qmv");
        row("singlequotes", "it's 'mine'.qmv");
        row("shell", "a & b; rm -rf ~ | $(x) `y`", "a & b; rm -rf ~ | $(x) `y`.qmv");
        row("percent", "100% %PATH% %1.qmv");
        row("dotsinname", "..week..1...qmv");
        row("parentfolder", "../escape.qmv", "escape.qmv");
        row("nonascii", "Größe Ωμέγα урок 時間割.qmv");
    }

    void hostileName()
    {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        std::unique_ptr<Form1> forms[2]; // New and save, then Edit
        for (bool edit : {false, true}) {
            QVERIFY(forms[edit] = Form1::start());
            forms[edit]->setFileDialogRunner([&](QFileDialog &dialog) {
                dialog.selectFile(edit ? saved : typed);
                return int(QDialog::Accepted);
            });
            press(forms[edit].get(), {edit ? "cmdEditProg" : "cmdNewProg"});
            QVERIFY2(forms[edit]->editor(), qPrintable(m_answerer->messages().join('|')));
            if (!edit)
                saveFromProgram1(forms[edit]->editor());
        }
        QCOMPARE(m_answerer->messages(), QStringList{"Program saved..."});
        const qmv::CellTable bell = qmv::defaultBellTable();
        QCOMPARE(readAll(qmv::paths::programFile(saved)),
                 qmv::programFileBytes({{bell, bell, bell}, qmv::defaultSchedule()}));
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
        QCOMPARE(QDir(m_root->path()).entryList(all), (QStringList{"qmvdata", "tmpqmv"}));
        const QStringList data = QDir(qmv::paths::dataDir()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(QSet<QString>(data.cbegin(), data.cend()), (QSet<QString>{saved, "keep.qmv"}));
        QCOMPARE(readAll(qmv::paths::programFile("keep.qmv")), Keep);
    }

    void everyByteSavedAndDownloaded()
    {
        const QByteArray original = everyByteFile();
        const QString title = "say \"hi\" & 100%;.qmv";
        QFile file(qmv::paths::programFile(title));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(original) == original.size());
        file.close();
        Editor editor(true, file.fileName(), title);
        QVERIFY(editor.load());
        editor.show();
        press(&editor, {"cmdNextProgram", "cmdPrevPgm"});
        saveFromProgram1(&editor);
        press(&editor, {"cmdDownload"});
        QCOMPARE(m_answerer->messages(), QStringList{"Program saved..."});
        QCOMPARE(readAll(file.fileName()), original);
        QCOMPARE(readAll(qmv::paths::programFile("keep.qmv")), Keep);
        for (int program = 1; program <= qmv::ProgramCount; ++program) {
            QString why;
            const auto sent = qmv::readWorkingFile(program, program == 3, &why);
            QVERIFY2(sent, qPrintable(why));
            for (const QStringList &row : sent->bell.rows)
                QVERIFY2(wellFormed(row), qPrintable(row.join('|')));
        }
    }

    void hostileCellNeverMalformsCommand()
    {
        // Each byte alone, before, after and in place of each character of each cell of a row
        // that is sent.
        const QStringList good{"07:45", "ON", "PULSE", "5", "ON", "CONT", "120", "ON"};
        for (int column = 0; column < qmv::BellColumns; ++column) {
            for (int b = 1; b < 256; ++b) {
                const QString g = good[column], c = QChar(b);
                QStringList texts{c, c + g, g + c};
                for (qsizetype at = 0; at < g.size(); ++at)
                    texts.append(QString(g).replace(at, 1, c));
                for (const QString &text : texts) {
                    QStringList row = good;
                    row[column] = text;
                    QVERIFY2(wellFormed(row), qPrintable(row.join('|')));
                }
            }
        }
    }

    void typedText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("saved"); // else refused, and the file is not written
        QTest::newRow("latin1letters") << "é\u00a0ÿ" << true;
        QTest::newRow("euro") << "1€2" << false;
        QTest::newRow("cjk") << "時" << false;
        QTest::newRow("emoji") << "\U0001F600" << false;
    }

    void typedText()
    {
        QFETCH(QString, typed);
        QFETCH(bool, saved);
        const QString path = qmv::paths::programFile("typed.qmv");
        Form2 editor(false, path, "typed.qmv");
        QVERIFY(editor.load());
        editor.show();
        // Typed or composed in an input method, the text reaches the box in one event.
        QTest::sendKeyEvent(QTest::Click, editor.findChild<QLineEdit *>("txtCellEdit"),
                            Qt::Key_unknown, typed, {});
        saveFromProgram1(&editor);
        // A character a program file cannot hold is never written as something else.
        QString why;
        const auto file = qmv::readProgramFile(path, &why);
        QCOMPARE(bool(file), saved);
        QCOMPARE(file ? file->programs[0].rows[0][0] : readAll(path), saved ? typed : "<missing>");
        const QString told = m_answerer->messages().value(0);
        QVERIFY2(told.contains(saved ? "Program saved..." : "cannot hold"), qPrintable(told));
    }

private:
    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<qmvtest::MessageBoxAnswerer> m_answerer;
};

QTEST_MAIN(tst_Hostile)
#include "tst_hostile.moc"
