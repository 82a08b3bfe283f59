#include "simulator.h"

#include <QFile>

namespace qmvtest {

Simulator::~Simulator()
{
    m_process.terminate();
    m_process.waitForFinished();
}

bool Simulator::available()
{
    return QFile::exists(qEnvironmentVariable("QMV_CONTROLLER_SIM"));
}

bool Simulator::start(const QStringList &faults, bool throughLink)
{
    QStringList arguments;
    if (throughLink)
        arguments << QStringLiteral("--link") << linkPath();
    arguments << QStringLiteral("--transcript") << transcriptPath() << faults;
    // Its log of every command would fill the pipe and stop it.
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(qEnvironmentVariable("QMV_CONTROLLER_SIM"), arguments);
    if (!m_process.waitForStarted() || !m_process.waitForReadyRead(5000))
        return false;
    device = QString::fromLocal8Bit(m_process.readLine().trimmed());
    qputenv("QMV_SERIAL_PORT", (throughLink ? linkPath() : device).toLocal8Bit());
    return !device.isEmpty();
}

QByteArray Simulator::received() const
{
    QFile file(transcriptPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Simulator::output()
{
    m_process.waitForReadyRead(200);
    return m_process.readAll();
}

QString Simulator::transcriptPath() const
{
    return m_dir.filePath(QStringLiteral("received"));
}

QString Simulator::linkPath() const
{
    return m_dir.filePath(QStringLiteral("controller"));
}

} // namespace qmvtest
