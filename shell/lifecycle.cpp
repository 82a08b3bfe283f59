#include "lifecycle.h"

#include <QApplication>

namespace qmv {

namespace {

bool ending = false;

void quitApplication()
{
    QApplication::closeAllWindows();
    QCoreApplication::exit(0);
}

std::function<void()> &endHandler()
{
    static std::function<void()> handler = quitApplication;
    return handler;
}

} // namespace

Lifecycle &Lifecycle::instance()
{
    static Lifecycle lifecycle;
    return lifecycle;
}

void endProgram()
{
    if (ending)
        return;
    ending = true;
    emit Lifecycle::instance().aboutToEnd();
    endHandler()();
}

bool isEnding()
{
    return ending;
}

void setEndHandler(std::function<void()> handler)
{
    endHandler() = handler ? std::move(handler) : quitApplication;
}

void resetEnding()
{
    ending = false;
}

} // namespace qmv
