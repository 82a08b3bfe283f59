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

// Answers the tool's message windows as they come up (a fixed-delay single shot fires too early)
// with the next queued button name or the default one ("cmdOKonly|cmdOK": the first of these the
// window shows); "close" closes without a button, and "enter:NAME" presses Enter on the button
// NAME. While
// `hold` is true a message stays up; `answerPlatformBoxes` answers the platform's boxes OK too.
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
    QStringList messages() const
    {
        QStringList texts;
        for (const SeenMessage &seen : m_seen)
            texts.append(seen.message);
        return texts;
    }
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
