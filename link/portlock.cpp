#include "portlock.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#include <unistd.h>
#endif

PortLock::PortLock() = default;

PortLock::~PortLock() = default;

QString PortLock::realDevice(const QString &name)
{
    const QString real = QFileInfo(name).canonicalFilePath();
    return real.isEmpty() ? name : real;
}

bool PortLock::accessible(const QString &device)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
#else
    Q_UNUSED(device)
    return true;
#endif
}

bool PortLock::claim(const QString &device)
{
    release();
    // The temporary folder is one every user may write in, so users and root meet there.
    QString key = device;
    key.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    auto file = std::make_unique<QLockFile>(
        QDir::temp().filePath(QStringLiteral("qmv-port%1.lock").arg(key)));
    // Held for as long as a download runs, however long; a holder that died leaves a stale lock
    // that the next claim removes.
    file->setStaleLockTime(0);
    if (!file->tryLock())
        return false;
    m_file = std::move(file);
    return true;
}

bool PortLock::claimDescriptor(qintptr handle)
{
#ifdef Q_OS_UNIX
    // Released by the kernel with the descriptor, whatever way the program ends.
    return ::flock(int(handle), LOCK_EX | LOCK_NB) == 0;
#else
    Q_UNUSED(handle)
    return true;
#endif
}

void PortLock::release()
{
    m_file.reset();
}
