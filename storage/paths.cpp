#include "paths.h"

#include <QDir>

namespace qmv::paths {

namespace {

QString &rootOverride()
{
    static QString folder;
    return folder;
}

} // namespace

void setDriveRoot(const QString &folder)
{
    rootOverride() = folder.isEmpty()
                         ? QString()
                         : QDir::cleanPath(QDir(folder).absolutePath()) + QLatin1Char('/');
}

QString driveRoot()
{
    if (!rootOverride().isEmpty())
        return rootOverride();
#ifdef Q_OS_WIN
    return QStringLiteral("C:/");
#else
    const QString root = qEnvironmentVariable("QMV_ROOT");
    if (!root.isEmpty())
        return QDir::cleanPath(root) + QLatin1Char('/');
    return QDir::homePath() + QStringLiteral("/qmv/");
#endif
}

QString dataDir()
{
    return driveRoot() + QStringLiteral("qmvdata");
}
QString tmpDir()
{
    return driveRoot() + QStringLiteral("tmpqmv");
}
QString confgDir()
{
    return dataDir() + QStringLiteral("/confg");
}

QString workingFile(int program)
{
    return tmpDir() + QStringLiteral("/temp#") + QString::number(program);
}

QString joinBatch()
{
    return tmpDir() + QStringLiteral("/junk.bat");
}
QString programFile(const QString &name)
{
    return dataDir() + QLatin1Char('/') + name;
}

QString vendorPicture(const QString &file)
{
    return driveRoot() + QStringLiteral("Program Files/Quorvanite/") + file;
}

QString messageIcon(int icon)
{
    return driveRoot() + QStringLiteral("bogus/images/msgbox/mCutMsgBox0") + QString::number(icon) +
           QStringLiteral(".ico");
}

} // namespace qmv::paths
