#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

class frmMsgBox;

namespace qmvtest {

struct SeenMessage
{
    QString message;
    QString title;
    int style = 0;
    int icon = 0;
};

// Answers the tool's modal message windows as they come up, polling for the active modal widget
// (a fixed-delay single shot fires before the window exists). It clicks the button named by the
// next queued answer ("cmdYes", "cmdNo", "cmdOK", "cmdCancel", "cmdOKonly"), or the default
// answer when the queue is empty; "close" closes the window without a button. While `hold`
// returns true a message stays up unanswered. Every message answered is recorded.
class MessageBoxAnswerer : public QObject
{
    Q_OBJECT
public:
    explicit MessageBoxAnswerer(QObject *parent = nullptr);

    void queue(const QString &button) { m_answers.append(button); }
    void setDefaultAnswer(const QString &button) { m_default = button; }
    void setHold(std::function<bool()> hold) { m_hold = std::move(hold); }
    const QList<SeenMessage> &seen() const { return m_seen; }
    QStringList messages() const;
    void clear() { m_seen.clear(); }

private:
    void poll();

    QTimer m_timer;
    QStringList m_answers;
    QString m_default;
    std::function<bool()> m_hold;
    QList<SeenMessage> m_seen;
    QPointer<frmMsgBox> m_answered;
};

} // namespace qmvtest
