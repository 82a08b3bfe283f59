#pragma once

class QString;
class QTextStream;

// The command line's questions about the controller, answered from the download records.
// Records skipped as damaged are named on `err`; they never stop an answer.
namespace qmv::cli {

// --status: one line saying what the controller holds. Returns 0 when it holds a complete
// download, 1 when the last one was incomplete or interrupted, 2 when nothing is known.
int showStatus(QTextStream &out, QTextStream &err);

// --history: one line per download, oldest first; the last `count` only when count > 0.
int showHistory(int count, QTextStream &out, QTextStream &err);

// --diff: one line per row or schedule cell in which the program file differs from what the
// controller holds. Returns 0 when they are the same, 1 when they differ, 2 when what the
// controller holds is unknown or the file cannot be read.
int diffWithController(const QString &programFile, QTextStream &out, QTextStream &err);

} // namespace qmv::cli
