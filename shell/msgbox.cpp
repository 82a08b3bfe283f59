#include "msgbox.h"

#include "lifecycle.h"
#include "paths.h"
#include "twips.h"

#include <QFile>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

using qmv::tw;
using qmv::twRect;

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
    button->setAutoDefault(false);
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

    QString shown = mCutMsgBoxMsg;
    m_lblMsg->setText(shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    setWindowTitle(mCutMsgBoxTitle);
}

int ShowMessageBox(const QString &message, const QString &title, int style, int icon)
{
    // Once the program is ending nobody is left to answer.
    if (qmv::isEnding())
        return frmMsgBox::Closed;
    frmMsgBox box;
    box.mCutMsgBoxMsg = message;
    box.mCutMsgBoxTitle = title;
    box.mcutMsgBoxStyle = style;
    box.mCutMsgBoxIcon = icon;
    box.load();
    // Ending the program from inside a wait also ends this dialog.
    QObject::connect(&qmv::Lifecycle::instance(), &qmv::Lifecycle::aboutToEnd, &box,
                     &QDialog::reject);
    box.exec();
    return box.mCutMsgBoxValue;
}
