#include "msgbox.h"

#include "lifecycle.h"
#include "paths.h"
#include "twips.h"

#include <QFile>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>

using qmv::tw;
using qmv::twRect;

namespace {
const QChar WrapHere(0x200b);   // zero-width space: a line may break here
const QChar NoWrapHere(0x2060); // word joiner: a line never breaks here
} // namespace

frmMsgBox::frmMsgBox(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmMsgBox"));
    setModal(true);
    setFixedSize(tw(5805), tw(1950));
    QFont verdana(QStringLiteral("Verdana"));
    setFont(verdana);

    m_imgIcon = new QLabel(this);
    m_imgIcon->setObjectName(QStringLiteral("imgIcon"));
    m_imgIcon->setGeometry(twRect(240, 225, 705, 705));
    m_imgIcon->setScaledContents(true);

    m_lblMsg = new QLabel(this);
    m_lblMsg->setObjectName(QStringLiteral("lblMsg"));
    m_lblMsg->setGeometry(twRect(1080, 210, 4605, 690));
    m_lblMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_lblMsg->setWordWrap(true);
    // Messages carry file names, which may hold '<' or '&'; never read them as markup.
    m_lblMsg->setTextFormat(Qt::PlainText);

    auto frame = [this](const char *name, int top) {
        auto *f = new QFrame(this);
        f->setObjectName(QLatin1String(name));
        f->setGeometry(twRect(735, top, 4755, 585));
        f->hide();
        return f;
    };
    m_fraOk = frame("fraOk", 1260);
    m_fraYesNo = frame("fraYesNo", 1260);
    m_fraOkCancel = frame("fraOkCancel", 1275);

    addButton(m_fraOkCancel, QStringLiteral("cmdOK"), QStringLiteral("OK"), 0, Ok);
    addButton(m_fraOkCancel, QStringLiteral("cmdCancel"), QStringLiteral("CANCEL"), 3120, Cancel);
    addButton(m_fraYesNo, QStringLiteral("cmdYes"), QStringLiteral("YES"), 0, Yes);
    addButton(m_fraYesNo, QStringLiteral("cmdNo"), QStringLiteral("NO"), 3120, No);
    addButton(m_fraOk, QStringLiteral("cmdOKonly"), QStringLiteral("OK"), 1560, Ok);
}

QPushButton *frmMsgBox::addButton(QFrame *frame, const QString &name, const QString &caption,
                                  int left, int code)
{
    auto *button = new QPushButton(caption, frame);
    button->setObjectName(name);
    button->setGeometry(twRect(left, 0, 1215, 495));
    // Enter presses the focused button, as in the platform's own message boxes.
    button->setAutoDefault(true);
    m_codes.insert(button, code);
    connect(button, &QPushButton::clicked, this, [this, code] {
        mCutMsgBoxValue = code;
        accept();
    });
    return button;
}

void frmMsgBox::load()
{
    const QString iconPath = qmv::paths::messageIcon(mCutMsgBoxIcon);
    m_imgIcon->clear();
    if (QFile::exists(iconPath))
        m_imgIcon->setPixmap(QIcon(iconPath).pixmap(m_imgIcon->size()));

    m_fraOkCancel->setVisible(mcutMsgBoxStyle == msgbox::OkCancel);
    m_fraYesNo->setVisible(mcutMsgBoxStyle == msgbox::YesNo);
    m_fraOk->setVisible(mcutMsgBoxStyle == msgbox::OkOnly);
    for (QPushButton *button : findChildren<QPushButton *>()) {
        if (button->parentWidget()->isVisibleTo(this) &&
            m_codes.value(button) == mCutMsgBoxDefault) {
            button->setDefault(true);
            button->setFocus();
        }
    }

    QString shown = mCutMsgBoxMsg;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // A path has no blank to wrap at; it may wrap after each folder instead, but never after the
    // separator it starts with (/, C:\ or \\server), which would stand alone at a line's end.
    static const QRegularExpression afterFolder(QStringLiteral("(?<=[^\\s/\\\\:])([/\\\\])"));
    static const QRegularExpression pathRoot(QStringLiteral("(^|\\s)((?:[A-Za-z]:)?[/\\\\]+)"));
    shown.replace(afterFolder, QStringLiteral("\\1") + WrapHere);
    shown.replace(pathRoot, QStringLiteral("\\1\\2") + NoWrapHere);
    m_lblMsg->setText(shown);
    setWindowTitle(mCutMsgBoxTitle);
    fitMessage();
}

void frmMsgBox::fitMessage()
{
    // The designed window holds every fixed message; only the tool's longer ones (a damaged file,
    // a path) make it wider, up to twice, and then taller, so that no line is cut off.
    const QRect designed = twRect(1080, 210, 4605, 690);
    const QFontMetrics metrics(m_lblMsg->font());
    int width = designed.width();
    for (const QString &piece : m_lblMsg->text().split(
             QRegularExpression(QStringLiteral("\\s|") + WrapHere), Qt::SkipEmptyParts))
        width = qMax(width, metrics.horizontalAdvance(piece) + 1);
    width = qMin(width, 2 * designed.width());
    const int height = qMax(designed.height(), m_lblMsg->heightForWidth(width));
    const QSize grown(width - designed.width(), height - designed.height());
    m_lblMsg->setGeometry(QRect(designed.topLeft(), QSize(width, height)));
    for (QFrame *frame : {m_fraOk, m_fraYesNo, m_fraOkCancel}) {
        const int top = frame == m_fraOkCancel ? 1275 : 1260;
        frame->move(tw(735) + grown.width() / 2, tw(top) + grown.height());
    }
    setFixedSize(QSize(tw(5805), tw(1950)) + grown);
}

int ShowMessageBox(const QString &message, const QString &title, int style, int icon,
                   int defaultCode)
{
    // Once the program is ending nobody is left to answer.
    if (qmv::isEnding())
        return frmMsgBox::Closed;
    frmMsgBox box;
    box.mCutMsgBoxMsg = message;
    box.mCutMsgBoxTitle = title;
    box.mcutMsgBoxStyle = style;
    box.mCutMsgBoxIcon = icon;
    box.mCutMsgBoxDefault = defaultCode;
    box.load();
    // Ending the program from inside a wait also ends this dialog.
    QObject::connect(&qmv::Lifecycle::instance(), &qmv::Lifecycle::aboutToEnd, &box,
                     &QDialog::reject);
    box.exec();
    return box.mCutMsgBoxValue;
}
