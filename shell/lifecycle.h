#pragma once

#include <QObject>

#include <functional>

// Ending the program. Every way out (EXIT answered Yes, a finished download, ...) goes through
// endProgram(): it first tells every running wait to stop (aboutToEnd), so ports are closed and
// no nested loop keeps spinning, then hands over to the end handler, which by default quits the
// application's event loops.
namespace qmv {

class Lifecycle : public QObject
{
    Q_OBJECT
public:
    static Lifecycle &instance();

signals:
    void aboutToEnd();
};

void endProgram();
bool isEnding();

// For tests: observe the end instead of quitting, and start afresh afterwards.
void setEndHandler(std::function<void()> handler);
void resetEnding();

} // namespace qmv
