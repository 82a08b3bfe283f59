#pragma once

#include <QString>

class QTextStream;

namespace qmv {

// The download from the command line: the download window's own sequence, fed from a program
// file instead of the working files, with its progress and reports on `err`. Unless `yes` is set
// it asks on the terminal before the controller is erased, and refuses when there is no terminal
// to ask. Returns 0 only when every command was answered and every row sent; 1 when the download
// failed, was incomplete or was declined; 2 when the file cannot be read or nobody can be asked.
int downloadFromTerminal(const QString &programFile, bool yes, QTextStream &err);

} // namespace qmv
