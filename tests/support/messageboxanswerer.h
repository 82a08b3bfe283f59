#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
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

// Answers the tool's modal message windows as they come up: it polls for the active modal
// widget (a fixed-delay single shot would fire before the window exists) and clicks the button
// named by the next queued answer ("cmdYes", "cmdNo", "cmdOK", "cmdCancel", "cmdOKonly"), or
// the default answer when the queue is empty. "close" closes the window without a button.
// Every message seen is recorded.
class MessageBoxAnswerer : public QObject
{
    Q_OBJECT
public:
    explicit MessageBoxAnswerer(QObject *parent = nullptr);

    void queue(const QString &button) { m_answers.append(button); }
    void setDefaultAnswer(const QString &button) { m_default = button; }
    // While `hold` returns true, a message stays up unanswered (a reply that must come while
    // it is shown).
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
