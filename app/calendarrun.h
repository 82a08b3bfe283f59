#pragma once

class QTextStream;

// The calendar applied from the command line, beside main.cpp.
namespace qmv::cli {

// --calendar: downloads the file the calendar gives for now when the controller does not hold it
// yet, holds it incompletely, or its clock needs setting. Returns 0 when the controller holds
// what it should, 1 when a download was needed and did not complete (or the port is busy), 2 when
// the calendar cannot be used: then nothing is sent.
int applyCalendar(QTextStream &out, QTextStream &err);

// --calendar --plan: what the controller will hold on each of the coming `days` days and when the
// hourly runs will download, without touching the port. 0, or 2 when the calendar cannot be used.
int planCalendar(int days, QTextStream &out, QTextStream &err);

} // namespace qmv::cli
