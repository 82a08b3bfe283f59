#pragma once

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace qmvtest {

struct SeenMessage
{
    QString message, title;
};

// Answers the tool's message windows as they come up (a fixed-delay single shot fires too early),
// clicking the button named by the next queued answer or the default one; "close" closes without
// a button. While `hold` returns true a message stays up. With `answerPlatformBoxes` the
// platform's message boxes are answered OK. Every message answered is recorded.
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
    bool m_platform = false;
    QList<SeenMessage> m_seen;
    QPointer<QWidget> m_answered;
};

} // namespace qmvtest
