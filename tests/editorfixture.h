#pragma once

// What the editor window tests share: a drive root of their own, the message answerer, an
// editor opened on a new or an existing file, and the window's controls by name.

#include "cellgrid.h"
#include "form2.h"
#include "lifecycle.h"
#include "messageboxanswerer.h"
#include "paths.h"
#include "programfile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace editortest {

inline const QByteArray DefaultRowBytes = "\tOFF\tCONT\t\tOFF\tCONT\t\tOC";
inline const QByteArray DefaultScheduleBlock =
    "\r\n\r\n\r\n2\r\n3\t3\t3\t3\t3\t3\t3\r3\t3\t3\t3\t3\t3\t3\r\n";

inline QByteArray joinedRows(int count, const QByteArray &row = DefaultRowBytes)
{
    QByteArrayList list;
    for (int i = 0; i < count; ++i)
        list.append(row);
    return list.join('\r');
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

// Every file below the root, with its path relative to it.
inline QStringList filesBelow(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(root).relativeFilePath(it.next()));
    files.sort();
    return files;
}

class Fixture
{
public:
    bool setUp()
    {
        root = std::make_unique<QTemporaryDir>();
        if (!root->isValid())
            return false;
        qputenv("QMV_ROOT", root->path().toLocal8Bit());
        ended = 0;
        qmv::setEndHandler([this] { ++ended; });
        answerer = std::make_unique<qmvtest::MessageBoxAnswerer>();
        answerer->setDefaultAnswer(QStringLiteral("cmdOKonly"));
        return QDir().mkpath(qmv::paths::dataDir()) && QDir().mkpath(qmv::paths::tmpDir());
    }

    void tearDown()
    {
        form.reset();
        answerer.reset();
        qmv::setEndHandler(nullptr);
        qmv::resetEnding();
        root.reset();
    }

    template <typename Window = Form2>
    Window *openNew(const QString &title = QStringLiteral("week1.qmv"))
    {
        auto window = std::make_unique<Window>(false, qmv::paths::programFile(title), title);
        Window *opened = window.get();
        form = std::move(window);
        return form->load() ? opened : nullptr;
    }

    Form2 *openExisting(const QByteArray &bytes)
    {
        const QString path = qmv::paths::programFile(QStringLiteral("edit.qmv"));
        if (!writeAll(path, bytes))
            return nullptr;
        form = std::make_unique<Form2>(true, path, QStringLiteral("edit.qmv"));
        return form->load() ? form.get() : nullptr;
    }

    bool show()
    {
        form->show();
        form->activateWindow();
        return QTest::qWaitForWindowActive(form.get());
    }

    QWidget *control(const QString &name) const { return form->findChild<QWidget *>(name); }
    CellGrid *grid1() const { return form->findChild<CellGrid *>(QStringLiteral("Grid1")); }
    CellGrid *grid2() const { return form->findChild<CellGrid *>(QStringLiteral("Grid2")); }
    QLineEdit *box() const { return form->findChild<QLineEdit *>(QStringLiteral("txtCellEdit")); }
    QLineEdit *text4() const { return form->findChild<QLineEdit *>(QStringLiteral("Text4")); }
    QString textOf(const QString &name) const { return form->findChild<QLineEdit *>(name)->text(); }
    void click(const QString &name) const { form->findChild<QPushButton *>(name)->click(); }
    void next() const { click(QStringLiteral("cmdNextProgram")); }
    void previous() const { click(QStringLiteral("cmdPrevPgm")); }

    std::unique_ptr<QTemporaryDir> root;
    std::unique_ptr<Form2> form;
    std::unique_ptr<qmvtest::MessageBoxAnswerer> answerer;
    int ended = 0;
};

} // namespace editortest
