#include "form1.h"

#include "controllerstate.h"
#include "form2.h"
#include "frmcalendar.h"
#include "frmdownload.h"
#include "lifecycle.h"
#include "msgbox.h"
#include "paths.h"
#include "programfile.h"
#include "twips.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>

using qmv::tw;
using qmv::twRect;

namespace {

const QString ToolTitle = QStringLiteral("Quorvanite");

bool ensureFolder(const QString &path, QString *error)
{
    if (QFileInfo(path).isDir() || QDir().mkpath(path))
        return true;
    if (error)
        *error =
            QStringLiteral("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(path));
    return false;
}

// The dialog reads quotes in a typed name as marks around several names and a leading "~" as the
// home folder, so the file it returns may not be the one typed. Empty when nothing was typed or
// the typed name is the file returned; otherwise the name as typed.
QString nameChangedByDialog(const QFileDialog &dialog, const QString &chosen)
{
    const auto *edit = dialog.findChild<const QLineEdit *>(QStringLiteral("fileNameEdit"));
    const QString typed = edit ? QFileInfo(edit->text()).fileName() : QString();
    if (typed.isEmpty())
        return {};
    const QString meant = typed.contains(QLatin1Char('.'))
                              ? typed
                              : typed + QLatin1Char('.') + dialog.defaultSuffix();
    return meant == QFileInfo(chosen).fileName() ? QString() : edit->text();
}

} // namespace

Form1::Form1(QWidget *parent)
    : QWidget(parent), m_runFileDialog([](QFileDialog &dialog) { return dialog.exec(); })
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("QMV"));
    setFixedSize(tw(11910), tw(8625));

    // Created first so that the caption is drawn over the picture.
    auto *imgAddress = new QLabel(this);
    imgAddress->setObjectName(QStringLiteral("imgAddress"));
    imgAddress->setGeometry(twRect(45, 0, 11775, 7695));
    imgAddress->setScaledContents(true);
    // A picture that is missing or unreadable leaves the area empty.
    const QString address = qmv::paths::vendorPicture(QStringLiteral("Address.jpg"));
    if (QFile::exists(address))
        imgAddress->setPixmap(QPixmap(address));

    auto *label3 = new QLabel(QStringLiteral("Quorvanite"), this);
    label3->setObjectName(QStringLiteral("Label3"));
    label3->setGeometry(twRect(1080, 120, 9555, 2355));
    label3->setFont(QFont(QStringLiteral("Verdana"), 72));
    label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto button = [this](const char *name, const QString &picture, const QString &says, int left) {
        auto *b = new QPushButton(this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(twRect(left, 7920, 3015, 675));
        b->setIcon(QIcon(picture));
        b->setIconSize(b->size() - QSize(8, 8));
        b->setToolTip(says);
        b->setAccessibleName(says);
        // Enter presses the focused button, as everywhere else on the desktop.
        b->setAutoDefault(true);
        return b;
    };
    auto *cmdNewProg = button("cmdNewProg", QStringLiteral(":/qmv/new-program.png"),
                              QStringLiteral("New program"), 0);
    auto *cmdEditProg = button("cmdEditProg", QStringLiteral(":/qmv/edit-program.png"),
                               QStringLiteral("Edit program"), 4440);
    auto *cmdMainExit =
        button("cmdMainExit", QStringLiteral(":/qmv/exit.png"), QStringLiteral("Exit"), 8880);

    showController();

    connect(cmdNewProg, &QPushButton::clicked, this, [this] { chooseProgramFile(false); });
    connect(cmdEditProg, &QPushButton::clicked, this, [this] { chooseProgramFile(true); });
    connect(cmdMainExit, &QPushButton::clicked, this, &Form1::confirmExit);

    // In the gap between New and Edit, where no button of the window stands.
    auto *cmdCalendar = new QPushButton(QStringLiteral("Calendar"), this);
    cmdCalendar->setObjectName(QStringLiteral("cmdCalendar"));
    cmdCalendar->setGeometry(twRect(3135, 7920, 1185, 675));
    cmdCalendar->setToolTip(QStringLiteral("Which program file the controller holds on which day"));
    cmdCalendar->setAutoDefault(true);
    connect(cmdCalendar, &QPushButton::clicked, this, [this] {
        auto *calendar = new frmCalendar(m_runFileDialog, this);
        calendar->setAttribute(Qt::WA_DeleteOnClose);
        calendar->open();
    });
}

std::unique_ptr<Form1> Form1::start()
{
    QString error;
    if (!ensureFolders(&error)) {
        QMessageBox box(QMessageBox::Critical, ToolTitle, error, QMessageBox::Ok);
        box.exec();
        return nullptr;
    }
    return std::make_unique<Form1>();
}

bool Form1::ensureFolders(QString *error)
{
    return ensureFolder(qmv::paths::dataDir(), error) &&
           ensureFolder(qmv::paths::tmpDir(), error) && ensureFolder(qmv::paths::confgDir(), error);
}

void Form1::setFileDialogRunner(FileDialogRunner runner)
{
    m_runFileDialog = std::move(runner);
}

Form1::~Form1() = default;

void Form1::openEditor()
{
    auto editor = std::make_unique<Form2>(pgmEditing, fileProgFile, fileProgFileTitle);
    if (!editor->load())
        return;
    connect(editor.get(), &Form2::downloadRequested, this, [this, shown = QPointer(editor.get())] {
        frmDownload::open(fileProgFile, [shown]() -> std::optional<qmv::ProgramFile> {
            return shown ? shown->tablesShown() : std::nullopt;
        });
    });
    m_editor = std::move(editor);
    hide();
    m_editor->show();
}

void Form1::chooseProgramFile(bool editing)
{
    // The folders may have been deleted while the tool ran.
    QString error;
    if (!ensureFolder(qmv::paths::dataDir(), &error) ||
        !ensureFolder(qmv::paths::tmpDir(), &error)) {
        tell(error);
        return;
    }
    // Two editors on the same working files would save each other's programs.
    if (!m_workingFolder)
        m_workingFolder = qmv::holdWorkingFolder(&error);
    if (!m_workingFolder) {
        ShowMessageBox(error, QStringLiteral("qmv Program File"), msgbox::OkOnly,
                       msgbox::QuestionIcon);
        return;
    }
    // Given up again unless an editor opens.
    const auto release = qScopeGuard([this] {
        if (!m_editor)
            m_workingFolder.reset();
    });

    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    dialog.setNameFilter(QStringLiteral("qmv file(*.qmv)"));
    dialog.setDefaultSuffix(QStringLiteral("qmv"));
    dialog.setDirectory(qmv::paths::dataDir());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(editing ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (m_runFileDialog(dialog) != QDialog::Accepted)
        return;

    fileProgFile = QDir::cleanPath(dialog.selectedFiles().value(0));
    fileProgFileTitle = fileProgFile.isEmpty() ? QString() : QFileInfo(fileProgFile).fileName();
    if (fileProgFile.isEmpty()) {
        tell(QStringLiteral("No file Selected"));
        return;
    }

    if (const QString typed = nameChangedByDialog(dialog, fileProgFile); !typed.isEmpty()) {
        tell(QStringLiteral("The file dialog reads the name %1 as %2.\nPlease type a name "
                            "without quotes.")
                 .arg(typed, QFileInfo(fileProgFile).fileName()));
        return;
    }
    const QFileInfo chosen(fileProgFile);
    if (editing && !chosen.exists()) {
        tell(QStringLiteral("File does not exist"));
        return;
    }
    // A new name needs an existing folder; an existing name must be a file the editor can read.
    const bool usable =
        chosen.exists() ? chosen.isFile() && chosen.isReadable() : chosen.absoluteDir().exists();
    if (!usable) {
        tell(QStringLiteral("Unknown error Opening File ") +
             QDir::toNativeSeparators(fileProgFile));
        return;
    }

    pgmEditing = editing;
    openEditor();
}

void Form1::confirmExit()
{
    const int answer = ShowMessageBox(
        QStringLiteral("Are you sure ?\r\nDo you really want to Exit ? ? ?"),
        QStringLiteral("Confirm Program Close"), msgbox::YesNo, msgbox::QuestionIcon);
    if (answer == frmMsgBox::Yes)
        qmv::endProgram();
}

// In the strip between the picture and the buttons: what the last download left on the
// controller, in the download window's failure colour unless it is complete.
void Form1::showController()
{
    const qmv::record::ControllerState state = qmv::record::controllerState();
    const QString full = state.statusLine();
    auto *line = new QLabel(full, this);
    line->setObjectName(QStringLiteral("lblController"));
    line->setTextFormat(Qt::PlainText);
    line->setGeometry(twRect(45, 7695, 11775, 225));
    QFont font = line->font();
    font.setPixelSize(tw(225) - 2);
    line->setFont(font);
    // A long list of what is missing keeps to one line: the outcome stays, the list moves to the
    // tooltip.
    if (QFontMetrics(font).horizontalAdvance(full) > line->width())
        line->setText(full.chopped(state.summary.size()) +
                      state.summary.section(QStringLiteral(": "), 0, 0) +
                      QStringLiteral(" (what is missing: point here, or qmv --status)"));
    if (state.knowledge == qmv::record::ControllerState::Knowledge::Incomplete) {
        QPalette palette = line->palette();
        palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
        line->setPalette(palette);
    }
    // Records skipped as damaged are named where they do not crowd the line.
    line->setToolTip(QStringList(QStringList{full} + state.warnings).join(QLatin1Char('\n')));
}

void Form1::tell(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, ToolTitle, text, QMessageBox::Ok, this);
    // The text may hold a file name, which is never markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
