#pragma once

class QString;
class QTextStream;

// The command line's own front ends, beside main.cpp.
namespace qmv::cli {

// --check: reads a program file and writes one line per finding. Returns 0 when there is nothing
// to report, 1 with findings and 2 when the file cannot be read as a program (missing, damaged).
int checkProgramFile(const QString &programFile, QTextStream &out);

} // namespace qmv::cli
