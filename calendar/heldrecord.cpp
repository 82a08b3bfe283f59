#include "heldrecord.h"

#include "paths.h"

#include <QCryptographicHash>
#include <QSettings>

namespace qmv::calendar {

namespace {

const QString FileKey = QStringLiteral("held/file");
const QString DigestKey = QStringLiteral("held/sha256");
const QString CompleteKey = QStringLiteral("held/complete");
const QString ClockKey = QStringLiteral("held/clockSet");
const QString OffsetKey = QStringLiteral("held/utcOffset");

} // namespace

QByteArray digestOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

QString ConfgHeldRecord::path()
{
    return paths::confgDir() + QStringLiteral("/controller.ini");
}

std::optional<Held> ConfgHeldRecord::held() const
{
    const QSettings settings(path(), QSettings::IniFormat);
    if (!settings.contains(FileKey))
        return std::nullopt;
    Held held;
    held.file = settings.value(FileKey).toString();
    held.digest = settings.value(DigestKey).toByteArray();
    held.complete = settings.value(CompleteKey).toBool();
    held.clockSet = QDateTime::fromString(settings.value(ClockKey).toString(), Qt::ISODate);
    held.utcOffset = settings.value(OffsetKey).toInt();
    return held;
}

QString ConfgHeldRecord::store(const Held &held)
{
    QSettings settings(path(), QSettings::IniFormat);
    settings.setValue(FileKey, held.file);
    settings.setValue(DigestKey, held.digest);
    settings.setValue(CompleteKey, held.complete);
    settings.setValue(ClockKey, held.clockSet.toUTC().toString(Qt::ISODate));
    settings.setValue(OffsetKey, held.utcOffset);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return QStringLiteral("Cannot write %1").arg(path());
    return {};
}

} // namespace qmv::calendar
