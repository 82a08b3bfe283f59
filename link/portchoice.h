#pragma once

#include <QString>
#include <QStringList>

// Which serial port the controller is on. The first that names one wins: the command line, then
// $QMV_SERIAL_PORT, then the port the user picked after a failed connection (remembered between
// runs), and otherwise serial port 1: "COM1" on Windows, "/dev/ttyS0" elsewhere.
namespace qmv::port {

QString defaultName();
QString chosen();

// The command line's --port; an empty name sets none.
void setOverride(const QString &name);

// The user's pick, kept in the platform's usual settings place for later runs.
QString remembered();
void remember(const QString &name);

// The serial ports this machine has now, by system location ("/dev/ttyUSB0", "COM4").
QStringList present();

// Why the chosen port cannot be opened, and what the user can do: the ports there are to pick
// from, and on Linux, when the user may not use the device, how to get access.
QString openFailure(const QString &reason, bool denied, const QStringList &present);

} // namespace qmv::port
