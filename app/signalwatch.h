#pragma once

#include <QObject>

class QSocketNotifier;

// SIGINT, SIGTERM and SIGHUP delivered as a Qt signal in the event loop, where a download can stop,
// close its port and say what it leaves behind. One at a time; the default handling returns when
// it is deleted.
class SignalWatch : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatch(QObject *parent = nullptr);
    ~SignalWatch() override;

    // "SIGINT", "SIGTERM" or "SIGHUP".
    static QString name(int signalNumber);

signals:
    void caught(int signalNumber);

private:
    QSocketNotifier *m_notifier = nullptr;
};
