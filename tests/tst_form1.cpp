#include "form1.h"
#include "form2.h"
#include "lifecycle.h"
#include "messageboxanswerer.h"
#include "paths.h"
#include "programfile.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Answers the platform's message boxes with OK, noting the title and text of each.
class PlatformBoxAnswerer : public QObject
{
public:
    PlatformBoxAnswerer()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box && box->isVisible() && box != m_answered) {
                seen.append((m_answered = box)->windowTitle() + ": " + box->text());
                box->button(QMessageBox::Ok)->click();
            }
        });
        m_timer.start(5);
    }
    QStringList seen;

private:
    QTimer m_timer;
    QPointer<QMessageBox> m_answered;
};

void makeFile(const QString &path, const QByteArray &bytes = "x")
{
    QFile file(path);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class tst_Form1 : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        qputenv("QMV_ROOT", root().toLocal8Bit());
    }

    void cleanup()
    {
        qmv::setEndHandler(nullptr);
        qmv::resetEnding();
    }

    void foldersAtStart_data()
    {
        QTest::addColumn<QString>("file");   // made below the root before the start
        QTest::addColumn<QString>("failed"); // the folder reported; empty when the start works
        for (const char *row : {"", "qmvdata/confg/keep"})
            QTest::newRow(*row ? "filesinfolderskept" : "firststart") << QString(row) << QString();
        for (const char *row : {"qmvdata", "tmpqmv", "qmvdata/confg"})
            QTest::addRow("%sisafile", row) << QString(row) << QString(row);
    }

    void foldersAtStart()
    {
        QFETCH(QString, file);
        QFETCH(QString, failed);
        if (!file.isEmpty())
            makeFile(root() + '/' + file);
        PlatformBoxAnswerer platform;
        QCOMPARE(Form1::start() != nullptr, failed.isEmpty());
        const QString reported = "Quorvanite: .*" + QDir::toNativeSeparators(root() + '/' + failed);
        QCOMPARE(platform.seen.size(), failed.isEmpty() ? 0 : 1);
        QVERIFY(failed.isEmpty() || platform.seen.at(0).contains(QRegularExpression(reported)));
        QVERIFY(file.isEmpty() || QFileInfo(root() + '/' + file).isFile());
        for (const char *folder : {"qmvdata", "qmvdata/confg", "tmpqmv"})
            QVERIFY(!failed.isEmpty() || QFileInfo(root() + '/' + folder).isDir());
    }

    void chooseFile_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<QString>("existing"); // in qmvdata; a trailing '/' makes a folder
        QTest::addColumn<QString>("typed");    // a null string cancels the dialog
        QTest::addColumn<QString>("message");  // of the platform; %1 stands for the chosen path
        QTest::addColumn<QString>("file");     // the chosen path below the root
        QTest::addColumn<QString>("answer");   // to the tool's own message window, if one comes
        QTest::addColumn<bool>("opened");
        auto row = [](const char *name, bool edit, const char *existing, const QString &typed,
                      const char *message, const char *file, const char *answer, bool opened) {
            QTest::newRow(name) << edit << QString(existing) << typed << QString(message)
                                << QString(file) << QString(answer) << opened;
        };
        const QString cancel;
        const char *unknown = "Unknown error Opening File %1";
        row("newcancelled", false, "", cancel, "", "", "", false);
        row("editcancelled", true, "a.qmv", cancel, "", "", "", false);
        row("editnothingchosen", true, "", "", "No file Selected", "", "", false);
        row("newnamegetssuffix", false, "", "week1", "", "qmvdata/week1.qmv", "", true);
        row("newnamewithsuffix", false, "", "week2.qmv", "", "qmvdata/week2.qmv", "", true);
        row("newoverexisting", false, "week3.qmv", "week3", "", "qmvdata/week3.qmv", "cmdNo", true);
        row("editexisting", true, "old.qmv", "old.qmv", "", "qmvdata/old.qmv", "", true);
        row("editdamaged", true, "bad.qmv", "bad.qmv", "", "qmvdata/bad.qmv", "cmdOKonly", false);
        row("editmissing", true, "old.qmv", "gone.qmv", "File does not exist", "", "", false);
        row("editfolder", true, "dir.qmv/", "dir.qmv", unknown, "qmvdata/dir.qmv", "", false);
        row("newinmissingfolder", false, "", "../none/x.qmv", unknown, "none/x.qmv", "", false);
    }

    void chooseFile()
    {
        QFETCH(bool, edit);
        QFETCH(QString, existing);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(QString, file);
        QFETCH(QString, answer);
        QFETCH(bool, opened);
        auto form = Form1::start();
        QVERIFY(form);
        const QString existingPath = qmv::paths::dataDir() + '/' + existing;
        const qmv::CellTable bell = qmv::defaultBellTable();
        if (existing.endsWith('/'))
            QVERIFY(QDir().mkpath(existingPath));
        else if (!existing.isEmpty())
            makeFile(existingPath,
                     existing == "bad.qmv"
                         ? QByteArray("x")
                         : qmv::programFileBytes({{bell, bell, bell}, qmv::defaultSchedule()}));
        form->show();
        form->setFileDialogRunner([&](QFileDialog &dialog) {
            dialog.selectFile(typed);
            return int(typed.isNull() ? QDialog::Rejected : QDialog::Accepted);
        });
        PlatformBoxAnswerer platform;
        qmvtest::MessageBoxAnswerer own;
        if (!answer.isEmpty())
            own.queue(answer);
        own.setDefaultAnswer("close"); // an unexpected message fails the count, never hangs
        form->findChild<QPushButton *>(edit ? "cmdEditProg" : "cmdNewProg")->click();

        const QString path = root() + '/' + file;
        const QString shown =
            message.contains("%1") ? message.arg(QDir::toNativeSeparators(path)) : message;
        QCOMPARE(platform.seen,
                 message.isEmpty() ? QStringList() : QStringList("Quorvanite: " + shown));
        QCOMPARE(own.seen().size(), answer.isEmpty() ? 0 : 1);
        QVERIFY(file.isEmpty() || form->fileProgFile == path);
        // The editor replaces the main window for the rest of the run.
        QCOMPARE(form->isVisible(), !opened);
        QCOMPARE(form->editor() && form->editor()->isVisible(), opened);
    }

    void exitQuestion_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("ends");
        QTest::newRow("yesends") << "cmdYes" << 1;
        QTest::newRow("nokeepswindow") << "cmdNo" << 0;
        QTest::newRow("closedkeepswindow") << "close" << 0;
    }

    void exitQuestion()
    {
        QFETCH(QString, answer);
        QFETCH(int, ends);
        auto form = Form1::start();
        QVERIFY(form);
        form->show();
        int ended = 0;
        qmv::setEndHandler([&] { ++ended; });
        qmvtest::MessageBoxAnswerer answerer;
        answerer.queue(answer);
        form->findChild<QPushButton *>("cmdMainExit")->click();
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen().at(0).message,
                 "Are you sure ?\r\nDo you really want to Exit ? ? ?");
        QCOMPARE(answerer.seen().at(0).title, "Confirm Program Close");
        QCOMPARE(ended, ends);
        QVERIFY(form->isVisible());
    }

private:
    QString root() const { return m_root->path(); }
    std::unique_ptr<QTemporaryDir> m_root;
};

QTEST_MAIN(tst_Form1)
#include "tst_form1.moc"
