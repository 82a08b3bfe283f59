#include "form1.h"

#include <QApplication>

#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The name only: a display name would be appended to every window caption.
    QApplication::setApplicationName(QStringLiteral("Quorvanite"));

    const std::unique_ptr<Form1> form = Form1::start();
    if (!form)
        return EXIT_FAILURE;
    form->show();
    return app.exec();
}
