#include "form1.h"
#include "form2.h"
#include "lifecycle.h"
#include "messageboxanswerer.h"
#include "msgbox.h"
#include "paths.h"
#include "programfile.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void makeFile(const QString &path, const QByteArray &bytes = "x")
{
    QFile file(path);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Old, week3 and bad (damaged) lie in the data folder, and a folder dir.qmv.
struct Choice
{
    const char *button, *typed; // a null name cancels the dialog
    const char *message;        // of the platform; %1 stands for the chosen path
    const char *file;           // the chosen file in the data folder
    const char *answer;         // to the tool's own message window, if one comes
    bool opened;
};

} // namespace

Q_DECLARE_METATYPE(Choice)

// The main window, and the message window that it and the editor use.
class tst_Form1 : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    QString root() const { return m_root->path(); }

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

    void messageStyles_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("code");
        const QStringList okCancel{"cmdOK", "cmdCancel"}, yesNo{"cmdYes", "cmdNo"};
        QTest::newRow("ok") << 1 << okCancel << "cmdOK" << 1;
        QTest::newRow("cancel") << 1 << okCancel << "cmdCancel" << 2;
        QTest::newRow("yes") << 2 << yesNo << "cmdYes" << 6;
        QTest::newRow("no") << 2 << yesNo << "cmdNo" << 7;
        QTest::newRow("okalone") << 3 << QStringList{"cmdOKonly"} << "cmdOKonly" << 1;
        QTest::newRow("closedwithoutbutton") << 2 << yesNo << "close" << 0;
        QTest::newRow("unknownstylenobutton") << 255 << QStringList{} << "close" << 0;
    }

    void messageStyles()
    {
        QFETCH(int, style);
        QFETCH(QStringList, buttons);
        QFETCH(QString, answer);
        QFETCH(int, code);
        QStringList shown;
        qmvtest::MessageBoxAnswerer answerer;
        answerer.queue(answer);
        answerer.setHold([&] {
            for (auto *button : QApplication::activeModalWidget()->findChildren<QPushButton *>())
                if (button->isVisible())
                    shown.append(button->objectName());
            return false;
        });
        QCOMPARE(ShowMessageBox("Question", "Title", style, 2), code);
        QCOMPARE(answerer.messages(), QStringList{"Question"});
        QCOMPARE(shown, buttons);
    }

    void messageIcon_data()
    {
        QTest::addColumn<int>("icon");
        QTest::addColumn<QList<int>>("files");
        QTest::newRow("present") << 12 << QList<int>{1, 2, 12};
        QTest::newRow("absent") << 2 << QList<int>{};
        QTest::newRow("1nottakenfrom12") << 1 << QList<int>{12};
    }

    void messageIcon()
    {
        QFETCH(int, icon);
        QFETCH(QList<int>, files);
        // Each icon file its own colour, so the picture shown tells which file was read.
        for (int file : files) {
            QImage image(32, 32, QImage::Format_ARGB32);
            image.fill(QColor::fromHsv(file * 20, 255, 230));
            QVERIFY(QDir().mkpath(QFileInfo(qmv::paths::messageIcon(file)).path()));
            QVERIFY(image.save(qmv::paths::messageIcon(file), "ICO"));
        }
        frmMsgBox box;
        box.mCutMsgBoxIcon = icon;
        box.load();
        const QImage picture = box.findChild<QLabel *>("imgIcon")->pixmap().toImage();
        QCOMPARE(picture.isNull() ? QRgb(0) : picture.pixel(16, 16),
                 files.contains(icon) ? QColor::fromHsv(icon * 20, 255, 230).rgb() : QRgb(0));
    }

    void foldersAtStart_data()
    {
        QTest::addColumn<QString>("file");   // made below the root before the start
        QTest::addColumn<QString>("failed"); // the folder reported; empty when the start works
        QTest::newRow("firststart") << ""
                                    << "";
        QTest::newRow("filesinfolderskept") << "qmvdata/confg/keep"
                                            << "";
        for (const char *row : {"qmvdata", "tmpqmv", "qmvdata/confg"})
            QTest::addRow("%sisafile", row) << QString(row) << QString(row);
    }

    void foldersAtStart()
    {
        QFETCH(QString, file);
        QFETCH(QString, failed);
        if (!file.isEmpty())
            makeFile(root() + '/' + file);
        qmvtest::MessageBoxAnswerer platform;
        platform.answerPlatformBoxes();
        QCOMPARE(Form1::start() != nullptr, failed.isEmpty());
        const QString reported = QDir::toNativeSeparators(root() + '/' + failed);
        QCOMPARE(platform.seen().size(), failed.isEmpty() ? 0 : 1);
        QVERIFY(failed.isEmpty() || platform.messages().at(0).contains(reported));
        QVERIFY(file.isEmpty() || QFileInfo(root() + '/' + file).isFile());
        for (const char *folder : {"qmvdata", "qmvdata/confg", "tmpqmv"})
            QVERIFY(!failed.isEmpty() || QFileInfo(root() + '/' + folder).isDir());
    }

    void chooseFile_data()
    {
        QTest::addColumn<Choice>("choice");
        auto row = [](const char *tag, const Choice &choice) { QTest::newRow(tag) << choice; };
        const char *n = "cmdNewProg", *e = "cmdEditProg",
                   *unknown = "Unknown error Opening File %1";
        row("newcancelled", {n, nullptr, "", "", "", false});
        row("editnothingchosen", {e, "", "No file Selected", "", "", false});
        row("newnamegetssuffix", {n, "week1", "", "week1.qmv", "", true});
        row("newoverexisting", {n, "week3", "", "week3.qmv", "cmdNo", true});
        row("editexisting", {e, "old.qmv", "", "old.qmv", "", true});
        row("editdamaged", {e, "bad.qmv", "", "bad.qmv", "cmdOKonly", false});
        row("editmissing", {e, "gone.qmv", "File does not exist", "", "", false});
        row("editfolder", {e, "dir.qmv", unknown, "dir.qmv", "", false});
    }

    void chooseFile()
    {
        QFETCH(Choice, choice);
        auto form = Form1::start();
        QVERIFY(form);
        const QString data = qmv::paths::dataDir() + '/';
        const qmv::CellTable bell = qmv::defaultBellTable();
        for (const char *name : {"old.qmv", "week3.qmv"})
            makeFile(data + name,
                     qmv::programFileBytes({{bell, bell, bell}, qmv::defaultSchedule()}));
        makeFile(data + "bad.qmv", "x");
        QVERIFY(QDir().mkpath(data + "dir.qmv"));
        form->show();
        form->setFileDialogRunner([&](QFileDialog &dialog) {
            dialog.selectFile(choice.typed);
            return int(choice.typed ? QDialog::Accepted : QDialog::Rejected);
        });
        qmvtest::MessageBoxAnswerer answerer;
        answerer.answerPlatformBoxes();
        answerer.queue(choice.answer);
        answerer.setDefaultAnswer("close"); // an unexpected message fails the count, never hangs
        form->findChild<QPushButton *>(choice.button)->click();

        const QString path = data + choice.file;
        const QStringList told = answerer.messages();
        QCOMPARE(int(told.size()), *choice.message || *choice.answer ? 1 : 0);
        QVERIFY(!*choice.message ||
                told.at(0) ==
                    QString(choice.message).replace("%1", QDir::toNativeSeparators(path)));
        QVERIFY(!*choice.file || form->fileProgFile == path);
        // The editor replaces the main window for the rest of the run.
        QCOMPARE(form->isVisible(), !choice.opened);
        QCOMPARE(form->editor() && form->editor()->isVisible(), choice.opened);
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
        QCOMPARE(answerer.messages(),
                 QStringList{"Are you sure ?\r\nDo you really want to Exit ? ? ?"});
        QCOMPARE(answerer.seen().at(0).title, "Confirm Program Close");
        QCOMPARE(ended, ends);
        QVERIFY(form->isVisible());
    }
};

QTEST_MAIN(tst_Form1)
#include "tst_form1.moc"
