#pragma once

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace qmvtest {

// qmv-controller-sim (named by $QMV_CONTROLLER_SIM) on its own pseudo-terminal; starting it
// points QMV_SERIAL_PORT at its device, or at a symbolic link to it when `throughLink` is set.
class Simulator
{
public:
    ~Simulator() { stop(); }

    static bool available() { return QFile::exists(qEnvironmentVariable("QMV_CONTROLLER_SIM")); }
    bool start(const QStringList &faults, bool throughLink = false);
    // Ends the controller: its line drops and its link, if any, goes with it.
    void stop();
    // Every byte the controller has received so far.
    QByteArray received() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

} // namespace qmvtest
