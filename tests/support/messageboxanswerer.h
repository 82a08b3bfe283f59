#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace qmvtest {

struct SeenMessage
{
    QString message;
    QString title;
};

// Answers the tool's modal message windows as they come up, polling for the active modal widget
// (a fixed-delay single shot fires before the window exists). It clicks the button named by the
// next queued answer ("cmdYes", "cmdNo", "cmdOK", "cmdCancel", "cmdOKonly"), or the default
// answer when the queue is empty; "close" closes the window without a button. While `hold`
// returns true a message stays up unanswered. With `answerPlatformBoxes` the platform's own
// message boxes are answered OK. Every message answered is recorded.
class MessageBoxAnswerer : public QObject
{
    Q_OBJECT
public:
    explicit MessageBoxAnswerer(QObject *parent = nullptr);

    void queue(const QString &button) { m_answers.append(button); }
    void setDefaultAnswer(const QString &button) { m_default = button; }
    void setHold(std::function<bool()> hold) { m_hold = std::move(hold); }
    void answerPlatformBoxes() { m_platform = true; }
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
    QPointer<QWidget> m_answered;
    bool m_platform = false;
};

} // namespace qmvtest
