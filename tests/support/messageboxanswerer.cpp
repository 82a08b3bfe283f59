#include "messageboxanswerer.h"

#include "msgbox.h"

#include <QApplication>
#include <QPushButton>

namespace qmvtest {

MessageBoxAnswerer::MessageBoxAnswerer(QObject *parent) : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswerer::poll);
    m_timer.start(5);
}

QStringList MessageBoxAnswerer::messages() const
{
    QStringList texts;
    for (const SeenMessage &seen : m_seen)
        texts.append(seen.message);
    return texts;
}

void MessageBoxAnswerer::poll()
{
    auto *box = qobject_cast<frmMsgBox *>(QApplication::activeModalWidget());
    if (!box || box == m_answered || !box->isVisible() || (m_hold && m_hold()))
        return;
    const QString answer = m_answers.isEmpty() ? m_default : m_answers.takeFirst();
    if (answer.isEmpty())
        return;
    m_answered = box;
    m_seen.append(
        {box->mCutMsgBoxMsg, box->mCutMsgBoxTitle, box->mcutMsgBoxStyle, box->mCutMsgBoxIcon});
    auto *button = box->findChild<QPushButton *>(answer);
    if (answer == QLatin1String("close"))
        box->reject();
    else if (button && button->isVisible())
        button->click();
    else
        qWarning("MessageBoxAnswerer: no visible button %s", qPrintable(answer));
}

} // namespace qmvtest
