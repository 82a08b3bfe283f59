#include "messageboxanswerer.h"

#include "msgbox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace qmvtest {

MessageBoxAnswerer::MessageBoxAnswerer(QObject *parent) : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswerer::poll);
    m_timer.start(5);
}

void MessageBoxAnswerer::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    auto *box = qobject_cast<frmMsgBox *>(modal);
    auto *platform = m_platform ? qobject_cast<QMessageBox *>(modal) : nullptr;
    if ((!box && !platform) || modal == m_answered || !modal->isVisible() || (m_hold && m_hold()))
        return;
    if (platform) {
        m_messages.append(platform->text());
        m_answered = platform;
        platform->button(QMessageBox::Ok)->click();
        return;
    }
    const QString answer = m_answers.isEmpty() ? m_default : m_answers.takeFirst();
    if (answer.isEmpty())
        return;
    const bool byEnter = answer.startsWith(QLatin1String("enter:"));
    // A window that Enter failed to close gets the next answer.
    m_answered = byEnter ? nullptr : box;
    m_messages.append(box->mCutMsgBoxMsg);
    if (answer == QLatin1String("close"))
        return box->reject();
    if (answer == QLatin1String("enter:"))
        return QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Return);
    if (answer == QLatin1String("esc"))
        return QTest::keyClick(box, Qt::Key_Escape);
    for (const QString &name : (byEnter ? answer.mid(6) : answer).split(QLatin1Char('|'))) {
        auto *button = box->findChild<QPushButton *>(name);
        if (button && button->isVisible())
            return byEnter ? QTest::keyClick(button, Qt::Key_Return) : button->click();
    }
    qWarning("MessageBoxAnswerer: no visible button %s", qPrintable(answer));
}

} // namespace qmvtest
