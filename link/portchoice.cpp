#include "portchoice.h"

#include <QSerialPortInfo>
#include <QSettings>

namespace qmv::port {

namespace {

QString &overrideName()
{
    static QString name;
    return name;
}

QSettings settings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quorvanite"),
                     QStringLiteral("qmv"));
}

const QString PortKey = QStringLiteral("serialPort");

} // namespace

QString defaultName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM1");
#else
    return QStringLiteral("/dev/ttyS0");
#endif
}

QString chosen()
{
    if (!overrideName().isEmpty())
        return overrideName();
    if (const QString fromEnvironment = qEnvironmentVariable("QMV_SERIAL_PORT");
        !fromEnvironment.isEmpty())
        return fromEnvironment;
    if (const QString picked = remembered(); !picked.isEmpty())
        return picked;
    return defaultName();
}

void setOverride(const QString &name)
{
    overrideName() = name;
}

QString remembered()
{
    return settings().value(PortKey).toString();
}

void remember(const QString &name)
{
    QSettings s = settings();
    s.setValue(PortKey, name);
    s.sync();
}

QStringList present()
{
    QStringList names;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names.append(info.systemLocation());
    names.sort();
    return names;
}

QString openFailure(const QString &reason, bool denied, const QStringList &present)
{
    QString text = QStringLiteral("The serial port %1 cannot be opened: %2").arg(chosen(), reason);
#ifdef Q_OS_LINUX
    if (denied)
        text += QStringLiteral("\nSerial ports are for members of the group dialout: "
                               "sudo adduser $USER dialout, then log in again.");
#else
    Q_UNUSED(denied)
#endif
    text += present.isEmpty()
                ? QStringLiteral("\nThis PC has no other serial port.")
                : QStringLiteral("\nSerial ports on this PC: %1.").arg(present.join(", "));
    return text;
}

} // namespace qmv::port
