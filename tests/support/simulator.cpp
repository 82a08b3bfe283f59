#include "simulator.h"

namespace qmvtest {

bool Simulator::start(const QStringList &faults, bool throughLink)
{
    const QString link = m_dir.filePath(QStringLiteral("controller"));
    QStringList arguments{QStringLiteral("--transcript"), m_dir.filePath(QStringLiteral("rx"))};
    if (throughLink)
        arguments << QStringLiteral("--link") << link;
    // Its log of every command would fill the pipe and stop it.
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(qEnvironmentVariable("QMV_CONTROLLER_SIM"), arguments + faults);
    if (!m_process.waitForStarted() || !m_process.waitForReadyRead(5000))
        return false;
    const QString device = QString::fromLocal8Bit(m_process.readLine().trimmed());
    qputenv("QMV_SERIAL_PORT", (throughLink ? link : device).toLocal8Bit());
    return !device.isEmpty();
}

void Simulator::stop()
{
    m_process.terminate();
    m_process.waitForFinished();
}

QByteArray Simulator::received() const
{
    QFile file(m_dir.filePath(QStringLiteral("rx")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace qmvtest
