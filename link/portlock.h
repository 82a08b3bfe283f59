#pragma once

#include <QString>

#include <memory>

class QLockFile;

// An exclusive claim on a serial device that holds under every name the device goes by: a lock
// file named after the device's real path, and on Unix a lock on the open descriptor itself, which
// an exclusive open does not give root.
class PortLock
{
public:
    PortLock();
    ~PortLock();
    PortLock(const PortLock &) = delete;
    PortLock &operator=(const PortLock &) = delete;

    // The device a port name stands for, through any symbolic links ("/dev/serial/by-id/..." is
    // "/dev/ttyUSB0"); the name itself when no file has it (COM1).
    static QString realDevice(const QString &name);
    // The device may be opened for reading and writing by this user.
    static bool accessible(const QString &device);

    // Claims `device` (a real device path) before it is opened. False when another program, or
    // another port object of this one, holds it.
    bool claim(const QString &device);
    // Claims the descriptor the device was opened as; false when another holds the device.
    bool claimDescriptor(qintptr handle);
    void release();

private:
    std::unique_ptr<QLockFile> m_file;
};
