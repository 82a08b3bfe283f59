#include "form1.h"
#include "form2.h"
#include "frmcalendar.h"
#include "lifecycle.h"
#include "messageboxanswerer.h"
#include "msgbox.h"
#include "paths.h"
#include "programfile.h"
#include "twips.h"

#include <QApplication>
#include <QDateEdit>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QtTest>

namespace {

// A button pressed (by Enter when named "enter:NAME", while another window edits the working
// folder when named "held:NAME"), the file dialog answered with `typed` (null cancels), the one
// message that may come (beginning with `message`, %1 the chosen path) answered; `then`
// "editor", "ended" or "" (the main window stays). Old, bad (damaged) and dir.qmv/ lie in the
// data folder.
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

    // Only icon 12 has a file. Every message shows whole and as written; only the tool's own
    // long messages make the window larger than designed.
    void messageWindow_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown"); // "": the program is ending, no window comes up
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("grows");
        const QString folder = "/tmp/a-rather-long-folder-name-for-a-test/";
        const QString damaged =
            QString("The working files in %1tmpqmv do not make a program file (line 3: the table "
                    "text holds 15 rows, the row count says 16); %1qmvdata/week1.qmv was not "
                    "changed\r\nThe program was not saved.")
                .arg(folder);
        auto row = [](const char *tag, int style, int icon, const QString &message,
                      const char *shown, const char *answer, int code, bool grows = false) {
            QTest::newRow(tag) << style << icon << message << QString(shown) << QString(answer)
                               << code << grows;
        };
        row("ok", 1, 12, "Question", "cmdOK cmdCancel imgIcon", "cmdOK", 1);
        row("cancel", 1, 0, "Question", "cmdOK cmdCancel", "cmdCancel", 2);
        row("yes", 2, 1, "Are you sure ?\r\nDo you really want to Exit ? ? ?", "cmdYes cmdNo",
            "cmdYes", 6);
        row("nobyenter", 2, 12, "File already exists\r\nContent will lost if you continue\r\nEXIT?",
            "cmdYes cmdNo imgIcon", "enter:cmdNo", 7);
        row("okalone", 3, 2, "Program saved...", "cmdOKonly", "cmdOKonly", 1);
        row("closedwithoutbutton", 2, 0, "Question", "cmdYes cmdNo", "close", 0);
        row("unknownstylenobutton", 255, 12, "Question", "imgIcon", "close", 0);
        row("longmessagegrows", 3, 0, damaged, "cmdOKonly", "cmdOKonly", 1, true);
        row("markupinname", 3, 0, "Cannot open <b>x</b>&amp;<br>y.qmv", "cmdOKonly", "cmdOKonly",
            1);
        row("pathstartnotalone", 3, 0,
            "Cannot open: another QMV window is editing " + folder + "tmpqmv; close it first.",
            "cmdOKonly", "cmdOKonly", 1);
        row("afterending", 3, 0, "Question", "", "cmdOKonly", 0);
    }

    void messageWindow()
    {
        QFETCH(int, style);
        QFETCH(int, icon);
        QFETCH(QString, message);
        QFETCH(QString, answer);
        QFETCH(QString, shown);
        QFETCH(bool, grows);
        QImage image(32, 32, QImage::Format_ARGB32);
        image.fill(Qt::red);
        const QString file = qmv::paths::messageIcon(12);
        QVERIFY(QDir().mkpath(QFileInfo(file).path()) && image.save(file, "ICO"));
        QStringList seen;
        QString text;
        bool fits = false, designed = false, rootAlone = false;
        qmvtest::MessageBoxAnswerer answerer;
        answerer.queue(answer);
        answerer.setDefaultAnswer("close");
        answerer.setHold([&] {
            QWidget *box = QApplication::activeModalWidget();
            auto *label = box->findChild<QLabel *>("lblMsg");
            fits = label->heightForWidth(label->width()) <= label->height() &&
                   box->rect().contains(label->geometry());
            for (auto *button : box->findChildren<QPushButton *>()) {
                const QRect at(button->mapTo(box, QPoint()), button->size());
                fits = fits && (!button->isVisible() || (box->rect().contains(at) &&
                                                         at.top() > label->geometry().bottom()));
                if (button->isVisible())
                    seen.append(button->objectName());
            }
            if (!box->findChild<QLabel *>("imgIcon")->pixmap().isNull())
                seen.append("imgIcon");
            designed = box->size() == QSize(qmv::tw(5805), qmv::tw(1950));
            // No line ends with the separator a path starts with.
            for (const QString &paragraph : label->text().split('\n')) {
                QTextLayout layout(paragraph, label->font());
                layout.beginLayout();
                for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
                    l.setLineWidth(label->contentsRect().width());
                    rootAlone |= paragraph.mid(l.textStart(), l.textLength())
                                     .contains(QRegularExpression("(^|\\s)/\\W*$"));
                }
                layout.endLayout();
            }
            label->setTextInteractionFlags(Qt::TextSelectableByMouse);
            label->setSelection(0, int(label->text().size()));
            text = label->selectedText().remove(QRegularExpression("[\\x{200b}\\x{2060}]"));
            text.replace(QChar(0x2029), "\r\n");
            return false;
        });
        qmv::setEndHandler([] {});
        auto reset = qScopeGuard([] {
            qmv::setEndHandler(nullptr);
            qmv::resetEnding();
        });
        if (shown.isEmpty())
            qmv::endProgram();
        QTEST(ShowMessageBox(message, "Title", style, icon), "code");
        QCOMPARE(seen.join(' '), shown);
        if (shown.isEmpty())
            return;
        QVERIFY(fits);
        QVERIFY(!rootAlone);
        QCOMPARE(text, message);
        QCOMPARE(designed, !grows);
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
        QCOMPARE(platform.messages().size(), failed.isEmpty() ? 0 : 1);
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
        const char *held = "Cannot open: another QMV window is editing";
        row("newwhilefolderheld", {"held:cmdNewProg", nullptr, held, "", "cmdOKonly", ""});
        row("editnothingchosen", {e, "", "No file Selected", "", "", ""});
        row("newnamegetssuffix", {n, "week1", "", "week1.qmv", "", "editor"});
        row("editexisting", {e, "old.qmv", "", "old.qmv", "", "editor"});
        row("editdamaged", {e, "bad.qmv", "", "bad.qmv", "cmdOKonly", ""});
        row("editmissing", {e, "gone.qmv", "File does not exist", "", "", ""});
        row("editfolder", {e, "dir.qmv", unknown, "dir.qmv", "", ""});
        row("newnamewithquotes",
            {n, "my \"week\" 1", "The file dialog reads the name my \"week\" 1 as week.qmv.", "",
             "", ""});
        row("exityes", {x, nullptr, sure, "", "cmdYes", "ended"});
        row("exitno", {x, nullptr, sure, "", "cmdNo", ""});
        row("exitbyenter", {"enter:cmdMainExit", nullptr, sure, "", "cmdYes", "ended"});
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
        QStringList filters;
        form->setFileDialogRunner([&](QFileDialog &dialog) {
            filters = dialog.nameFilters();
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
        bool plain = true; // file names in the platform's boxes are never read as markup
        answerer.setHold([&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            plain = plain && (!box || box->textFormat() == Qt::PlainText);
            return false;
        });
        answerer.queue(press.answer);
        answerer.setDefaultAnswer("close"); // an unexpected message fails the count, never hangs
        const QString button = press.button;
        QString error;
        auto held = button.startsWith("held:") ? qmv::holdWorkingFolder(&error) : nullptr;
        auto *pressed = form->findChild<QPushButton *>(button.section(':', -1));
        if (button.startsWith("enter:"))
            QTest::keyClick(pressed, Qt::Key_Return);
        else
            pressed->click();

        const QString path = data + press.file;
        const QStringList told = answerer.messages();
        QCOMPARE(int(told.size()), *press.message || *press.answer ? 1 : 0);
        QVERIFY2(told.value(0, "").startsWith(
                     QString(press.message).replace("%1", QDir::toNativeSeparators(path))),
                 qPrintable(told.value(0)));
        QVERIFY(plain);
        QVERIFY(!*press.file || form->fileProgFile == path);
        QVERIFY(filters.isEmpty() || filters == QStringList{"qmv file(*.qmv)"});
        QCOMPARE(ended, int(then == "ended"));
        // The editor replaces the main window for the rest of the run.
        QCOMPARE(form->isVisible(), then != "editor");
        QCOMPARE(form->editor() && form->editor()->isVisible(), then == "editor");
        held.reset(); // the working folder is given up again unless an editor opened
        QCOMPARE(!qmv::holdWorkingFolder(&error), then == "editor");
    }

    // The Calendar window keeps a calendar with errors from being saved, and saves a sound one
    // with the files picked in the file dialog named as the data folder holds them.
    void calendarWindow()
    {
        auto form = Form1::start();
        QVERIFY(form);
        qmv::CellTable bell = qmv::defaultBellTable();
        const QString week = qmv::paths::dataDir() + "/week.qmv";
        QCOMPARE(qmv::writeFileAtomic(
                     week, qmv::programFileBytes({{bell, bell, bell}, qmv::defaultSchedule()})),
                 QString());
        // bad.qmv has one finding: bell 2 would ring with bell 1's action.
        bell.rows[0] = QStringList{"08:00", "ON", "CONT", "5", "ON", "PULSE", "9", "OC"};
        const QString bad = qmv::paths::dataDir() + "/bad.qmv";
        QCOMPARE(qmv::writeFileAtomic(
                     bad, qmv::programFileBytes({{bell, bell, bell}, qmv::defaultSchedule()})),
                 QString());
        QStringList picks{bad, week, week};
        form->setFileDialogRunner([&](QFileDialog &dialog) {
            dialog.selectFile(picks.takeFirst());
            return int(QDialog::Accepted);
        });
        form->show();
        form->findChild<QPushButton *>("cmdCalendar")->click();
        auto *calendar = form->findChild<frmCalendar *>("frmCalendar");
        QVERIFY(calendar);
        const auto click = [calendar](const char *name) {
            calendar->findChild<QPushButton *>(name)->click();
        };
        auto *problems = calendar->findChild<QListWidget *>("lstProblems");
        QCOMPARE(problems->item(0)->text(), "No program file for the other days.");
        click("cmdOtherDays");
        QCOMPARE(problems->count(), 1);
        QVERIFY2(problems->item(0)->text().contains("has findings"),
                 qPrintable(problems->item(0)->text()));
        QVERIFY(!calendar->save());
        click("cmdOtherDays");
        calendar->findChild<QDateEdit *>("dtpFirst")->setDate(QDate(2027, 3, 22));
        calendar->findChild<QDateEdit *>("dtpLast")->setDate(QDate(2027, 3, 21));
        click("cmdPeriodFile");
        click("cmdAddPeriod");
        QCOMPARE(problems->count(), 1);
        QCOMPARE(problems->item(0)->text(), "Period 1 ends before it starts.");
        QVERIFY(!calendar->save());
        const QString path = qmv::paths::confgDir() + "/calendar.txt";
        QVERIFY(!QFile::exists(path));
        click("cmdRemovePeriod");
        QCOMPARE(problems->count(), 0);

        click("cmdAddPeriod");
        calendar->findChild<QDateEdit *>("dtpLast")->setDate(QDate(2027, 4, 2));
        click("cmdChangePeriod");
        QCOMPARE(problems->count(), 0);
        QVERIFY(calendar->save());
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().endsWith("other days: week.qmv\r\nclock every: 30 days\r\n"
                                         "period: 2027-03-22 | 2027-04-02 | week.qmv\r\n"));
        // March 2027 begins on a Monday: the period starts in the fourth line's first cell.
        calendar->showMonth(QDate(2027, 3, 9));
        auto *month = calendar->findChild<QTableWidget *>("grdMonth");
        QCOMPARE(month->item(2, 6)->text(), "21\nweek.qmv");
        QCOMPARE(month->item(2, 6)->background().style(), Qt::NoBrush);
        QCOMPARE(month->item(3, 0)->text(), "22\nweek.qmv");
        QVERIFY(month->item(3, 0)->background().style() != Qt::NoBrush);
    }
};

QTEST_MAIN(tst_Form1)
#include "tst_form1.moc"
