#pragma once

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace qmvtest {

// Answers the tool's message windows as they come up (a fixed-delay single shot fires too early)
// with the next queued button name or the default one ("cmdOKonly|cmdOK": the first of these the
// window shows); "close" closes without a button, "esc" presses Escape, "enter:NAME" presses
// Enter on the button NAME, "enter:" where the window put the focus. While `hold` is true a
// message stays up; `answerPlatformBoxes` answers the platform's boxes OK.
class MessageBoxAnswerer : public QObject
{
    Q_OBJECT
public:
    explicit MessageBoxAnswerer(QObject *parent = nullptr);

    void queue(const QString &button) { m_answers.append(button); }
    void setDefaultAnswer(const QString &button) { m_default = button; }
    void setHold(std::function<bool()> hold) { m_hold = std::move(hold); }
    void answerPlatformBoxes() { m_platform = true; }
    QStringList messages() const { return m_messages; }
    void clear() { m_messages.clear(); }

private:
    void poll();

    QTimer m_timer;
    QStringList m_answers, m_messages;
    QString m_default;
    std::function<bool()> m_hold;
    bool m_platform = false;
    QPointer<QWidget> m_answered;
};

} // namespace qmvtest
