#pragma once

#include <QString>

class QTextStream;

namespace qmv {

class Clock;
struct ProgramFile;

// The clock command-line downloads tell the time by: the system's.
const Clock &commandLineClock();

// Downloads `file`, read from `programFile`, with the download window's own sequence, the clock
// sent at the start of a minute, with its progress on `err`; the download is recorded. Returns
// the exit code, as downloadFromTerminal().
int downloadProgram(const ProgramFile &file, const QString &programFile, QTextStream &err);

// The download from the command line: the download window's own sequence, fed from a program
// file instead of the working files, with its progress and reports on `err`. Unless `yes` is set
// it asks on the terminal before the controller is erased, and refuses when there is no terminal
// to ask. The file's findings come first; unless `force` is set, findings that leave rows unsent
// refuse the download before the port is touched. SIGINT, SIGTERM and SIGHUP stop it, close the
// port and say what the controller holds. Returns 0 only when every command was answered and
// every row sent; 1 when the download failed, was incomplete or was declined; 2 when the file
// cannot be read, would not be sent in full or nobody can be asked; 128 plus the signal's number
// when a signal stopped it.
int downloadFromTerminal(const QString &programFile, bool yes, bool force, QTextStream &err);

} // namespace qmv
