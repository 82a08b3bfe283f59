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

// A button pressed, the file dialog answered with `typed` (null cancels), the one message that may
// come (beginning with `message`, %1 the chosen path) answered; `then` "editor", "ended" or "" (the
// main window stays). Old, bad (damaged) and dir.qmv/ lie in the data folder.
struct Press
{
    const char *button, *typed, *message, *file, *answer, *then;
};

} // namespace

Q_DECLARE_METATYPE(Press)

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

    // Only icon 12 has a file.
    void messageWindow_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("code");
        QTest::newRow("ok") << 1 << 12 << "cmdOK cmdCancel imgIcon"
                            << "cmdOK" << 1;
        QTest::newRow("cancel") << 1 << 0 << "cmdOK cmdCancel"
                                << "cmdCancel" << 2;
        QTest::newRow("yes") << 2 << 1 << "cmdYes cmdNo"
                             << "cmdYes" << 6;
        QTest::newRow("no") << 2 << 12 << "cmdYes cmdNo imgIcon"
                            << "cmdNo" << 7;
        QTest::newRow("okalone") << 3 << 2 << "cmdOKonly"
                                 << "cmdOKonly" << 1;
        QTest::newRow("closedwithoutbutton") << 2 << 0 << "cmdYes cmdNo"
                                             << "close" << 0;
        QTest::newRow("unknownstylenobutton") << 255 << 12 << "imgIcon"
                                              << "close" << 0;
    }

    void messageWindow()
    {
        QFETCH(int, style);
        QFETCH(int, icon);
        QFETCH(QString, shown);
        QFETCH(QString, answer);
        QFETCH(int, code);
        QImage image(32, 32, QImage::Format_ARGB32);
        image.fill(Qt::red);
        const QString file = qmv::paths::messageIcon(12);
        QVERIFY(QDir().mkpath(QFileInfo(file).path()) && image.save(file, "ICO"));
        QStringList seen;
        qmvtest::MessageBoxAnswerer answerer;
        answerer.queue(answer);
        answerer.setHold([&] {
            QWidget *box = QApplication::activeModalWidget();
            for (auto *button : box->findChildren<QPushButton *>())
                if (button->isVisible())
                    seen.append(button->objectName());
            if (!box->findChild<QLabel *>("imgIcon")->pixmap().isNull())
                seen.append("imgIcon");
            return false;
        });
        QCOMPARE(ShowMessageBox("Question", "Title", style, icon), code);
        QCOMPARE(seen.join(' '), shown);
    }

    void foldersAtStart_data()
    {
        QTest::addColumn<QString>("file");   // made below the root before the start
        QTest::addColumn<QString>("failed"); // the folder reported; empty when the start works
        QTest::newRow("firststart") << QString() << QString();
        QTest::newRow("filesinfolderskept") << "qmvdata/confg/keep" << QString();
        for (const char *row : {"qmvdata", "tmpqmv", "qmvdata/confg"})
            QTest::addRow("%sisafile", row) << QString(row) << QString(row);
    }

    void foldersAtStart()
    {
        QFETCH(QString, file);
        QFETCH(QString, failed);
        const QString path = root() + '/' + file;
        QVERIFY(file.isEmpty() || (QDir().mkpath(QFileInfo(path).path()) &&
                                   qmv::writeFileAtomic(path, "x").isEmpty()));
        qmvtest::MessageBoxAnswerer platform;
        platform.answerPlatformBoxes();
        QCOMPARE(Form1::start() != nullptr, failed.isEmpty());
        QCOMPARE(platform.seen().size(), failed.isEmpty() ? 0 : 1);
        QVERIFY(failed.isEmpty() ||
                platform.messages().at(0).contains(QDir::toNativeSeparators(path)));
        QVERIFY(file.isEmpty() || QFileInfo(path).isFile());
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
        QVERIFY(qmv::splitIntoWorkingFiles({{bell, bell, bell}, qmv::defaultSchedule()}).isEmpty());
        QVERIFY(qmv::joinWorkingFiles("old.qmv").isEmpty() && QDir().mkpath(data + "dir.qmv"));
        QCOMPARE(qmv::writeFileAtomic(data + "bad.qmv", "x"), QString());
        form->show();
        form->setFileDialogRunner([&](QFileDialog &dialog) {
            dialog.selectFile(press.typed);
            return int(press.typed ? QDialog::Accepted : QDialog::Rejected);
        });
        int ended = 0;
        qmv::setEndHandler([&] { ++ended; });
        auto reset = qScopeGuard([] {
            qmv::setEndHandler(nullptr);
            qmv::resetEnding();
        });
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
