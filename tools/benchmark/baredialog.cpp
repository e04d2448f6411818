// The yardstick: an empty dialog, built and shown the way the updater is.
#include <QApplication>
#include <QDialog>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Bare Dialog"));
    dialog.show();
    return app.exec();
}
