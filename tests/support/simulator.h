#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace qmvtest {

// qmv-controller-sim (named by $QMV_CONTROLLER_SIM) on its own pseudo-terminal; starting it
// points QMV_SERIAL_PORT at its device, or at a symbolic link to it when `throughLink` is set.
class Simulator
{
public:
    Simulator() = default;
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;
    ~Simulator() { stop(); }

    static bool available();
    bool start(const QStringList &faults, bool throughLink = false);
    // Ends the controller: its line drops and its link, if any, goes with it.
    void stop();
    // Every byte the controller has received so far.
    QByteArray received() const;
    // What it printed after its device line.
    QByteArray output();
    QProcess::ProcessState state() const { return m_process.state(); }

    QString device;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

} // namespace qmvtest
