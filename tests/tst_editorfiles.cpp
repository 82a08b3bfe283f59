#include "editorfixture.h"

class tst_EditorFiles : public EditorFixture
{
    Q_OBJECT

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

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
        add("new, no file yet", false, "<none>", "", "");
        add("new, file exists, no opens the defaults", false, "old", "cmdNo",
            "File already exists\r\nContent will lost if you continue\r\nEXIT?");
        add("new, file exists, yes ends the tool", false, "old", "cmdYes", "File already exists");
        add("edit, a sound file", true, planted(1) + planted(2) + planted(3), "", "");
        add("edit, missing file", true, "<none>", "", "Cannot open");
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
        QStringList captions;
        for (const char *name :
             {"cmdPrevPgm", "cmdNextProgram", "cmdDownload", "cmdSaveProgram", "cmdExit"})
            captions << control(name)->property("text").toString();
        QCOMPARE(captions.join(' '), "Previous Next DOWNLOAD SAVE EXIT");
        QCOMPARE(box()->geometry(), grid1()->cellRect(0, 0, m_form.get()));
        QCOMPARE(box()->text(), editing ? "01:00" : "");
        QVERIFY(show() && !box()->isReadOnly());
        QTRY_VERIFY(box()->hasFocus());
    }

    void navigation_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<bool>("next");
        // The bad file's bytes or "<none>" for the one arrived at; "<dir>" for the one left.
        QTest::addColumn<QByteArray>("bad");
        QTest::addColumn<QString>("message");
        auto add = [](const char *name, int from, bool next, const QByteArray &bad,
                      const char *message) {
            QTest::newRow(name) << from << next << bad << QString(message);
        };
        add("next from 1", 1, true, {}, "");
        add("next at 3", 3, true, {}, "Max Allowed Programs Reached\r\n");
        add("previous from 3", 3, false, {}, "");
        add("previous at 1", 1, false, {}, "Program Number 1 Reached\r\n");
        add("arrival missing, next to 2", 1, true, "<none>", "Cannot open");
        add("arrival row count not a number, previous to 2", 3, false,
            ":P2\r\nx" + planted(2).mid(6), "line 2");
        add("arrival without schedule, next to 3", 2, true, ":P3" + planted(2).mid(3), "lines");
        add("leaving a folder, previous from 3", 3, false, "<dir>", "");
    }

    void navigation()
    {
        QFETCH(int, from);
        QFETCH(bool, next);
        QFETCH(QByteArray, bad);
        QFETCH(QString, message);
        const bool leaving = bad == "<dir>";
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
        QTest::addColumn<bool>("full"); // room for temp#3, not for the three programs joined
        QTest::newRow("shell characters") << "a&b;c|d>e<f$(g)`h`%i%^j'k\"l!m* -n?.qmv" << false;
        QTest::newRow("file size limit reached while joining") << "week1.qmv" << true;
    }

    void save()
    {
        QFETCH(QString, name);
        QFETCH(bool, full);
        const QString path = qmv::paths::programFile(name);
        QVERIFY(writeAll(path, "keep"));
        m_answerer->queue(QStringLiteral("cmdNo")); // to "File already exists"
        QVERIFY(openAndEdit(name));
        m_answerer->clear();
        rlimit normal{};
        getrlimit(RLIMIT_FSIZE, &normal);
        // Writes past the limit fail with EFBIG instead of killing the process, and bind root too.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limited{full ? rlim_t(EditedTemp3.size() + 100) : normal.rlim_cur,
                             normal.rlim_max};
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
        click("cmdSaveProgram");
        QVERIFY(setrlimit(RLIMIT_FSIZE, &normal) == 0);
        QCOMPARE(QDir(qmv::paths::dataDir()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{name});
        const QString said = m_answerer->messages().join('|');
        QCOMPARE(m_form->pgmSaved, !full);
        if (full) {
            QVERIFY2(said.contains(path) && !said.contains("Program saved") && !said.contains('|'),
                     qPrintable(said));
            QCOMPARE(readAll(path), "keep");
            return;
        }
        QCOMPARE(said, "Program saved...");
        QCOMPARE(readAll(path), EditedTemp1 + DefaultTemp2 + EditedTemp3);
        keys("08:15").simulate(box()); // into the first cell again
        QCOMPARE(grid1()->cellText(0, 0), "08:15");
    }

    void downloadWorkingFile_data()
    {
        QTest::addColumn<QString>("commands");
        QTest::addColumn<QByteArrayList>("opened"); // program 3 as each download window found it
        QTest::addColumn<bool>("saved");
        const QByteArray edited = ":P3\r\n15\r\n04:00" + EditedTemp3.mid(9);
        auto add = [](const char *name, const char *commands, const QByteArrayList &opened,
                      bool saved) { QTest::newRow(name) << QString(commands) << opened << saved; };
        add("unsaved writes program 3", "edit download", {edited}, false);
        add("saved and unchanged", "save download", {EditedTemp3}, true);
        add("edited after save writes it again", "save edit download", {edited}, false);
        add("edited and saved again", "edit save download", {edited}, true);
        add("saved, previous and next write it", "save edit previous next download", {edited},
            false);
        add("a row added after save", "save add", {}, false);
        add("a row removed after save", "save remove", {}, false);
        add("unwritable working file opens nothing", "block download", {}, false);
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
            else if (command == QLatin1String("add"))
                grid1()->insertRow(grid1()->rowCount());
            else if (command == QLatin1String("remove"))
                grid1()->removeRow(grid1()->rowCount() - 1);
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
};

QTEST_MAIN(tst_EditorFiles)
#include "tst_editorfiles.moc"
