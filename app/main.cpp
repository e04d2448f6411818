#include "dialog.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // On the stack after the application, so it goes first: its worker lets
    // a run in progress finish before the process ends.
    Dialog dialog;
    dialog.show();
    return app.exec();
}
