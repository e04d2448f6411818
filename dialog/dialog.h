#ifndef DIALOG_H
#define DIALOG_H

#include "masterthread.h"

#include <QDialog>

QT_BEGIN_NAMESPACE
class QComboBox;
class QLabel;
class QLineEdit;
class QMovie;
class QPushButton;
QT_END_NAMESPACE

class Dialog : public QDialog
{
    Q_OBJECT

public:
    explicit Dialog(QWidget *parent = nullptr);

private slots:
    void transaction();
    void listfiles();
    void showResponse(const QString &s);
    void showMessageBox();
    void showFailMessageBox();
    void startGif();
    void stopGif();

private:
    friend class DialogTest;

    QPushButton *startButton = nullptr;
    QLabel *gifLabel = nullptr;
    QMovie *gifMovie = nullptr;
    QLabel *portLabel = nullptr;
    QComboBox *portComboBox = nullptr;
    QLabel *fileLabel = nullptr;
    QLineEdit *fileLineEdit = nullptr;
    QPushButton *browseButton = nullptr;
    QLabel *statusLabel = nullptr;
    QString firmwareFile;
    // Declared last so that it is destroyed first: its destructor lets a run
    // in progress finish while the widgets it reports to still exist.
    MasterThread masterThread;
};

#endif // DIALOG_H
