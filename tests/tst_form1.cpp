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

// A button of the main window pressed, the file dialog answered with `typed` (null cancels) and
// the one message that may come answered with `answer`. Old, week3 and bad (damaged) lie in the
// data folder, and a folder dir.qmv.
struct Press
{
    const char *button, *typed;
    const char *message; // how the message begins; %1 stands for the chosen path
    const char *file;    // the chosen file in the data folder
    const char *answer;
    const char *then; // "editor", "ended", or "" when the main window stays
};

} // namespace

Q_DECLARE_METATYPE(Press)

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

    void buttons_data()
    {
        QTest::addColumn<Press>("press");
        auto row = [](const char *tag, const Press &press) { QTest::newRow(tag) << press; };
        const char *n = "cmdNewProg", *e = "cmdEditProg", *x = "cmdMainExit";
        const char *unknown = "Unknown error Opening File %1";
        const char *sure = "Are you sure ?\r\nDo you really want to Exit ? ? ?";
        row("newcancelled", {n, nullptr, "", "", "", ""});
        row("editnothingchosen", {e, "", "No file Selected", "", "", ""});
        row("newnamegetssuffix", {n, "week1", "", "week1.qmv", "", "editor"});
        row("newoverexisting", {n, "week3", "", "week3.qmv", "cmdNo", "editor"});
        row("editexisting", {e, "old.qmv", "", "old.qmv", "", "editor"});
        row("editdamaged", {e, "bad.qmv", "", "bad.qmv", "cmdOKonly", ""});
        row("editmissing", {e, "gone.qmv", "File does not exist", "", "", ""});
        row("editfolder", {e, "dir.qmv", unknown, "dir.qmv", "", ""});
        row("exityes", {x, nullptr, sure, "", "cmdYes", "ended"});
        row("exitno", {x, nullptr, sure, "", "cmdNo", ""});
        row("exitclosed", {x, nullptr, sure, "", "close", ""});
    }

    void buttons()
    {
        QFETCH(Press, press);
        auto form = Form1::start();
        QVERIFY(form);
        const QString data = qmv::paths::dataDir() + '/', then = press.then;
        const qmv::CellTable bell = qmv::defaultBellTable();
        for (const char *name : {"old.qmv", "week3.qmv"})
            makeFile(data + name,
                     qmv::programFileBytes({{bell, bell, bell}, qmv::defaultSchedule()}));
        makeFile(data + "bad.qmv", "x");
        QVERIFY(QDir().mkpath(data + "dir.qmv"));
        form->show();
        form->setFileDialogRunner([&](QFileDialog &dialog) {
            dialog.selectFile(press.typed);
            return int(press.typed ? QDialog::Accepted : QDialog::Rejected);
        });
        int ended = 0;
        qmv::setEndHandler([&] { ++ended; });
        qmvtest::MessageBoxAnswerer answerer;
        answerer.answerPlatformBoxes();
        answerer.queue(press.answer);
        answerer.setDefaultAnswer("close"); // an unexpected message fails the count, never hangs
        form->findChild<QPushButton *>(press.button)->click();

        const QString path = data + press.file;
        const QStringList told = answerer.messages();
        QCOMPARE(int(told.size()), *press.message || *press.answer ? 1 : 0);
        QVERIFY2(told.value(0, "").startsWith(
                     QString(press.message).replace("%1", QDir::toNativeSeparators(path))),
                 qPrintable(told.value(0)));
        QVERIFY(!*press.file || form->fileProgFile == path);
        QCOMPARE(ended, int(then == "ended"));
        // The editor replaces the main window for the rest of the run.
        QCOMPARE(form->isVisible(), then != "editor");
        QCOMPARE(form->editor() && form->editor()->isVisible(), then == "editor");
    }
};

QTEST_MAIN(tst_Form1)
#include "tst_form1.moc"
