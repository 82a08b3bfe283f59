#pragma once

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace qmvsim {

// qmv-controller-sim run as a child process on its own pseudo-terminal (by default the one named
// by $QMV_CONTROLLER_SIM); starting it points QMV_SERIAL_PORT at its device, or at a symbolic
// link to it when `throughLink` is set.
class Simulator
{
public:
    explicit Simulator(const QString &program = qEnvironmentVariable("QMV_CONTROLLER_SIM"))
        : m_program(program)
    {
    }
    ~Simulator() { stop(); }

    static bool available() { return QFile::exists(qEnvironmentVariable("QMV_CONTROLLER_SIM")); }
    bool start(const QStringList &faults, bool throughLink = false)
    {
        const QString link = m_dir.filePath(QStringLiteral("controller"));
        QStringList arguments{QStringLiteral("--transcript"), m_dir.filePath(QStringLiteral("rx"))};
        if (throughLink)
            arguments << QStringLiteral("--link") << link;
        // Its log of every command would fill the pipe and stop it.
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(m_program, arguments + faults);
        if (!m_process.waitForStarted() || !m_process.waitForReadyRead(5000))
            return false;
        const QString device = QString::fromLocal8Bit(m_process.readLine().trimmed());
        qputenv("QMV_SERIAL_PORT", (throughLink ? link : device).toLocal8Bit());
        return !device.isEmpty();
    }
    // Ends the controller: its line drops and its link, if any, goes with it.
    void stop()
    {
        m_process.terminate();
        m_process.waitForFinished();
    }
    // The timetable the controller prints once it has received "F".
    QString printed()
    {
        m_process.waitForReadyRead(2000);
        return QString::fromLocal8Bit(m_process.readAllStandardOutput());
    }
    // Every byte the controller has received so far.
    QByteArray received() const
    {
        QFile file(m_dir.filePath(QStringLiteral("rx")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QString m_program;
    QTemporaryDir m_dir;
    QProcess m_process;
};

} // namespace qmvsim
