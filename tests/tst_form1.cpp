#include "form1.h"
#include "form2.h"
#include "lifecycle.h"
#include "messageboxanswerer.h"
#include "paths.h"
#include "programfile.h"

#include <QApplication>
#include <QDirIterator>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct PlatformMessage
{
    QString title;
    QString text;
};

// Answers the platform's message boxes with OK, noting what each said.
class PlatformBoxAnswerer : public QObject
{
public:
    PlatformBoxAnswerer()
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || box == m_answered)
                return;
            m_answered = box;
            seen.append({box->windowTitle(), box->text()});
            box->button(QMessageBox::Ok)->click();
        });
        m_timer.start();
    }
    QList<PlatformMessage> seen;

private:
    QTimer m_timer;
    QPointer<QMessageBox> m_answered;
};

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

void makeFile(const QString &path, const QByteArray &bytes = "x")
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

// Every folder and file below the root, relative to it.
QStringList tree(const QString &root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries.append(QDir(root).relativeFilePath(it.next()));
    entries.sort();
    return entries;
}

QPushButton *button(const QWidget &form, const QString &name)
{
    auto *found = form.findChild<QPushButton *>(name);
    if (!found)
        qFatal("no button %s", qPrintable(name));
    return found;
}

} // namespace

class tst_Form1 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void foldersAtStart_data();
    void foldersAtStart();
    void folderCannotBeCreated_data();
    void folderCannotBeCreated();
    void fileDialogSetup_data();
    void fileDialogSetup();
    void chooseFile_data();
    void chooseFile();
    void dataFolderBeforeDialog_data();
    void dataFolderBeforeDialog();
    void exitQuestion_data();
    void exitQuestion();
    void pictures_data();
    void pictures();

private:
    QString root() const { return m_root->path(); }
    std::unique_ptr<QTemporaryDir> m_root;
};

void tst_Form1::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    qputenv("QMV_ROOT", root().toLocal8Bit());
}

void tst_Form1::cleanup()
{
    qmv::setEndHandler(nullptr);
    qmv::resetEnding();
    qunsetenv("QMV_ROOT");
    m_root.reset();
}

void tst_Form1::foldersAtStart_data()
{
    QTest::addColumn<QStringList>("existing");

    QTest::newRow("first_start") << QStringList{};
    QTest::newRow("only_qmvdata") << QStringList{"qmvdata"};
    QTest::newRow("confg_missing") << QStringList{"qmvdata", "tmpqmv"};
    QTest::newRow("all_present") << QStringList{"qmvdata", "qmvdata/confg", "tmpqmv"};
}

void tst_Form1::foldersAtStart()
{
    QFETCH(QStringList, existing);

    QStringList expected = {"qmvdata", "qmvdata/confg", "tmpqmv"};
    // A file in each folder that was there before must survive the start.
    for (const QString &folder : existing) {
        makeFile(root() + '/' + folder + "/keep");
        expected.append(folder + "/keep");
    }
    expected.sort();

    PlatformBoxAnswerer platform;
    for (int start = 1; start <= 2; ++start) {
        QVERIFY(Form1::start());
        QCOMPARE(tree(root()), expected);
    }
    QCOMPARE(platform.seen.size(), 0);
}

void tst_Form1::folderCannotBeCreated_data()
{
    QTest::addColumn<QString>("blocker");
    QTest::addColumn<QString>("rootBelow");
    QTest::addColumn<QString>("failed");

    QTest::newRow("root_below_a_file") << "file"
                                       << "file/root"
                                       << "file/root/qmvdata";
    QTest::newRow("qmvdata_is_a_file") << "qmvdata"
                                       << ""
                                       << "qmvdata";
    QTest::newRow("tmpqmv_is_a_file") << "tmpqmv"
                                      << ""
                                      << "tmpqmv";
    QTest::newRow("confg_is_a_file") << "qmvdata/confg"
                                     << ""
                                     << "qmvdata/confg";
}

void tst_Form1::folderCannotBeCreated()
{
    QFETCH(QString, blocker);
    QFETCH(QString, rootBelow);
    QFETCH(QString, failed);

    makeFile(root() + '/' + blocker);
    if (!rootBelow.isEmpty())
        qputenv("QMV_ROOT", (root() + '/' + rootBelow).toLocal8Bit());

    PlatformBoxAnswerer platform;
    QVERIFY(!Form1::start());
    QCOMPARE(platform.seen.size(), 1);
    QCOMPARE(platform.seen.at(0).title, QStringLiteral("Quorvanite"));
    QVERIFY2(platform.seen.at(0).text.contains(native(root() + '/' + failed)),
             qPrintable(platform.seen.at(0).text));
    QVERIFY(QFileInfo(root() + '/' + blocker).isFile());
}

void tst_Form1::fileDialogSetup_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QFileDialog::FileMode>("fileMode");

    QTest::newRow("new_accepts_new_names") << "cmdNewProg" << QFileDialog::AnyFile;
    QTest::newRow("edit_needs_existing_file") << "cmdEditProg" << QFileDialog::ExistingFile;
}

void tst_Form1::fileDialogSetup()
{
    QFETCH(QString, command);
    QFETCH(QFileDialog::FileMode, fileMode);

    auto form = Form1::start();
    QVERIFY(form);
    int shown = 0;
    QFileDialog::FileMode mode = {};
    QFileDialog::AcceptMode accept = {};
    QStringList filters;
    QString suffix;
    QString folder;
    form->setFileDialogRunner([&](QFileDialog &dialog) {
        ++shown;
        mode = dialog.fileMode();
        accept = dialog.acceptMode();
        filters = dialog.nameFilters();
        suffix = dialog.defaultSuffix();
        folder = dialog.directory().absolutePath();
        return int(QDialog::Rejected);
    });
    button(*form, command)->click();
    QCOMPARE(shown, 1);
    QCOMPARE(mode, fileMode);
    QCOMPARE(accept, QFileDialog::AcceptOpen);
    QCOMPARE(filters, QStringList{"qmv file(*.qmv)"});
    QCOMPARE(suffix, QStringLiteral("qmv"));
    QCOMPARE(folder, qmv::paths::dataDir());
}

void tst_Form1::chooseFile_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("existing"); // in qmvdata; a trailing '/' makes a folder
    QTest::addColumn<QString>("typed");        // a null string cancels the dialog
    QTest::addColumn<QString>("message");      // %1 stands for the chosen path
    QTest::addColumn<QString>("file");         // below the root; "-" when left unchanged
    QTest::addColumn<QStringList>("answers");  // to the tool's own message windows, in order
    QTest::addColumn<bool>("opened");

    const QString cancel;
    const QString none;
    const QString unchanged = "-";
    const QStringList noAnswers;
    QTest::newRow("new_cancelled")
        << "cmdNewProg" << QStringList{} << cancel << none << unchanged << noAnswers << false;
    QTest::newRow("edit_cancelled") << "cmdEditProg" << QStringList{"a.qmv"} << cancel << none
                                    << unchanged << noAnswers << false;
    QTest::newRow("edit_nothing_chosen") << "cmdEditProg" << QStringList{} << ""
                                         << "No file Selected"
                                         << "" << noAnswers << false;
    QTest::newRow("new_name_gets_suffix") << "cmdNewProg" << QStringList{} << "week1" << none
                                          << "qmvdata/week1.qmv" << noAnswers << true;
    QTest::newRow("new_name_with_suffix") << "cmdNewProg" << QStringList{} << "week2.qmv" << none
                                          << "qmvdata/week2.qmv" << noAnswers << true;
    QTest::newRow("new_name_with_blanks") << "cmdNewProg" << QStringList{} << "term 2 & 3" << none
                                          << "qmvdata/term 2 & 3.qmv" << noAnswers << true;
    QTest::newRow("new_over_existing_file")
        << "cmdNewProg" << QStringList{"week3.qmv"} << "week3" << none << "qmvdata/week3.qmv"
        << QStringList{"cmdNo"} << true;
    QTest::newRow("edit_existing_file") << "cmdEditProg" << QStringList{"old.qmv"} << "old.qmv"
                                        << none << "qmvdata/old.qmv" << noAnswers << true;
    QTest::newRow("edit_damaged_file")
        << "cmdEditProg" << QStringList{"damaged.qmv"} << "damaged.qmv" << none
        << "qmvdata/damaged.qmv" << QStringList{"cmdOKonly"} << false;
    QTest::newRow("edit_missing_file") << "cmdEditProg" << QStringList{"old.qmv"} << "gone.qmv"
                                       << "File does not exist"
                                       << "qmvdata/gone.qmv" << noAnswers << false;
    QTest::newRow("edit_folder") << "cmdEditProg" << QStringList{"dir.qmv/"} << "dir.qmv"
                                 << "Unknown error Opening File %1"
                                 << "qmvdata/dir.qmv" << noAnswers << false;
    QTest::newRow("new_name_in_missing_folder")
        << "cmdNewProg" << QStringList{} << "../nowhere/x.qmv"
        << "Unknown error Opening File %1"
        << "nowhere/x.qmv" << noAnswers << false;
    QTest::newRow("new_name_of_a_folder") << "cmdNewProg" << QStringList{"dir.qmv/"} << "dir.qmv"
                                          << "Unknown error Opening File %1"
                                          << "qmvdata/dir.qmv" << noAnswers << false;
}

void tst_Form1::chooseFile()
{
    QFETCH(QString, command);
    QFETCH(QStringList, existing);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, file);
    QFETCH(QStringList, answers);
    QFETCH(bool, opened);

    auto form = Form1::start();
    QVERIFY(form);
    const qmv::ProgramFile program{
        {qmv::defaultBellTable(), qmv::defaultBellTable(), qmv::defaultBellTable()},
        qmv::defaultSchedule()};
    for (const QString &name : existing) {
        const QString path = qmv::paths::dataDir() + '/' + name;
        if (name.endsWith('/'))
            QVERIFY(QDir().mkpath(path));
        else if (name.startsWith("damaged"))
            makeFile(path);
        else
            makeFile(path, qmv::programFileBytes(program));
    }
    form->show();

    const bool editing = command == QLatin1String("cmdEditProg");
    // The opposite of what this command sets, so that a command that does not open keeps it.
    form->pgmEditing = !editing;
    form->fileProgFile = "before";
    form->fileProgFileTitle = "before";
    form->setFileDialogRunner([&](QFileDialog &dialog) {
        if (typed.isNull())
            return int(QDialog::Rejected);
        dialog.selectFile(typed);
        return int(QDialog::Accepted);
    });

    PlatformBoxAnswerer platform;
    qmvtest::MessageBoxAnswerer own;
    for (const QString &answer : answers)
        own.queue(answer);
    button(*form, command)->click();

    const QString path = file.isEmpty() ? QString() : root() + '/' + file;
    QStringList expectedMessages;
    if (!message.isEmpty())
        expectedMessages.append(message.contains("%1") ? message.arg(native(path)) : message);
    QStringList messages;
    for (const PlatformMessage &seen : platform.seen) {
        QCOMPARE(seen.title, QStringLiteral("Quorvanite"));
        messages.append(seen.text);
    }
    QCOMPARE(messages, expectedMessages);
    QCOMPARE(own.seen().size(), answers.size());

    if (file == QLatin1String("-")) {
        QCOMPARE(form->fileProgFile, QStringLiteral("before"));
        QCOMPARE(form->fileProgFileTitle, QStringLiteral("before"));
    } else {
        QCOMPARE(form->fileProgFile, path);
        QCOMPARE(form->fileProgFileTitle, QFileInfo(file).fileName());
    }
    // A file that passed the dialog's checks sets pgmEditing, whether or not the editor can read
    // it.
    const bool chosen = message.isEmpty() && file != QLatin1String("-");
    QCOMPARE(form->pgmEditing, chosen ? editing : !editing);
    // The editor replaces the main window for the rest of the run.
    QCOMPARE(form->isVisible(), !opened);
    QCOMPARE(form->editor() != nullptr, opened);
    if (opened)
        QVERIFY(form->editor()->isVisible());
}

void tst_Form1::dataFolderBeforeDialog_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("blocked");

    QTest::newRow("new_recreates") << "cmdNewProg" << false;
    QTest::newRow("edit_recreates") << "cmdEditProg" << false;
    QTest::newRow("new_folder_blocked_by_file") << "cmdNewProg" << true;
    QTest::newRow("edit_folder_blocked_by_file") << "cmdEditProg" << true;
}

void tst_Form1::dataFolderBeforeDialog()
{
    QFETCH(QString, command);
    QFETCH(bool, blocked);

    auto form = Form1::start();
    QVERIFY(form);
    QVERIFY(QDir(qmv::paths::dataDir()).removeRecursively());
    if (blocked)
        makeFile(qmv::paths::dataDir());

    bool folderThere = false;
    int shown = 0;
    form->setFileDialogRunner([&](QFileDialog &) {
        ++shown;
        folderThere = QFileInfo(qmv::paths::dataDir()).isDir();
        return int(QDialog::Rejected);
    });
    PlatformBoxAnswerer platform;
    button(*form, command)->click();

    if (blocked) {
        QCOMPARE(shown, 0);
        QCOMPARE(platform.seen.size(), 1);
        QVERIFY(platform.seen.at(0).text.contains(native(qmv::paths::dataDir())));
    } else {
        QCOMPARE(shown, 1);
        QVERIFY(folderThere);
        QCOMPARE(platform.seen.size(), 0);
    }
}

void tst_Form1::exitQuestion_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("ended");

    QTest::newRow("yes_ends") << "cmdYes" << true;
    QTest::newRow("no_keeps_window") << "cmdNo" << false;
    QTest::newRow("closed_keeps_window") << "close" << false;
}

void tst_Form1::exitQuestion()
{
    QFETCH(QString, answer);
    QFETCH(bool, ended);

    auto form = Form1::start();
    QVERIFY(form);
    form->show();
    int ends = 0;
    qmv::setEndHandler([&] { ++ends; });

    qmvtest::MessageBoxAnswerer answerer;
    answerer.queue(answer);
    PlatformBoxAnswerer platform;
    button(*form, "cmdMainExit")->click();

    QCOMPARE(answerer.seen().size(), 1);
    const qmvtest::SeenMessage &question = answerer.seen().at(0);
    QCOMPARE(question.message,
             QStringLiteral("Are you sure ?\r\nDo you really want to Exit ? ? ?"));
    QCOMPARE(question.title, QStringLiteral("Confirm Program Close"));
    QCOMPARE(question.style, 2);
    QCOMPARE(question.icon, 2);
    QCOMPARE(ends, ended ? 1 : 0);
    QCOMPARE(platform.seen.size(), 0);
    QVERIFY(form->isVisible());
}

void tst_Form1::pictures_data()
{
    QTest::addColumn<QByteArray>("addressFile"); // "" when there is none
    QTest::addColumn<bool>("addressShown");

    QTest::newRow("address_picture_present") << QByteArray("JPG") << true;
    QTest::newRow("address_picture_absent") << QByteArray() << false;
    QTest::newRow("address_picture_damaged") << QByteArray("damaged") << false;
}

void tst_Form1::pictures()
{
    QFETCH(QByteArray, addressFile);
    QFETCH(bool, addressShown);

    const QString address = qmv::paths::vendorPicture("Address.jpg");
    if (addressFile == "JPG") {
        QVERIFY(QDir().mkpath(QFileInfo(address).absolutePath()));
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        QVERIFY(picture.save(address, "JPG"));
    } else if (!addressFile.isEmpty()) {
        makeFile(address, addressFile);
    }

    auto form = Form1::start();
    QVERIFY(form);
    const auto *imgAddress = form->findChild<QLabel *>("imgAddress");
    QVERIFY(imgAddress);
    QCOMPARE(!imgAddress->pixmap().isNull(), addressShown);
    for (const char *name : {"cmdNewProg", "cmdEditProg", "cmdMainExit"})
        QVERIFY2(!button(*form, name)->icon().pixmap(QSize(64, 16)).isNull(), name);
}

QTEST_MAIN(tst_Form1)
#include "tst_form1.moc"
