#include "dialog.h"

#include "announcement.h"
#include "runwords.h"
#include "serialports.h"
#include "statustexts.h"

#include <QApplication>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMovie>
#include <QPalette>
#include <QPushButton>
#include <QTextEdit>
#include <QWindow>

namespace {
// The chooser can close with its list of name completions still open: the
// name typed matches a file and Return takes it. The window system then
// gives the window back the keyboard while the list is still up, and Qt
// drops that activation, as it drops any while a popup is open. The window
// would have the keyboard with none of its widgets getting a key or the
// focus, so it takes back what the window system has already given it.
void takeBackActivation(QWidget *window)
{
    if (QGuiApplication::focusWindow() != window->windowHandle() || window->isActiveWindow())
        return;
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QApplication::setActiveWindow(window);
    QT_WARNING_POP
}
} // namespace

Dialog::Dialog(QWidget *parent)
    : QDialog(parent)
    , startButton(new QPushButton(tr("Start")))
    , gifLabel(new QLabel)
    // Opened by relative name: the program is started in the folder that
    // holds it. Owned by the dialog, as nothing else would release it.
    , gifMovie(new QMovie(QStringLiteral("load.gif"), QByteArray(), this))
    , portLabel(new QLabel(tr("Serial port:")))
    , portComboBox(new QComboBox)
    , fileLabel(new QLabel(tr("File:")))
    , fileLineEdit(new QLineEdit)
    , browseButton(new QPushButton(tr("Browse")))
    , statusLabel(new QLabel(statusNotRunning))
    , masterThread(nullptr)
{
    // It shows the one path Start hands over; what is typed there would not be.
    fileLineEdit->setReadOnly(true);
    // Screen readers name each field after its caption, and say which
    // caption it has.
    fileLabel->setBuddy(fileLineEdit);
    portLabel->setBuddy(portComboBox);

    const QStringList ports = availableSerialPortNames();
    for (const QString &port : ports)
        portComboBox->addItem(QIcon(), port, QVariant());

    auto *mainLayout = new QGridLayout;
    mainLayout->addWidget(fileLabel, 0, 0, 1, 1);
    mainLayout->addWidget(fileLineEdit, 0, 1, 1, 1);
    mainLayout->addWidget(browseButton, 0, 2, 1, 1);
    mainLayout->addWidget(portLabel, 1, 0, 1, 1);
    mainLayout->addWidget(portComboBox, 1, 1, 1, 1);
    mainLayout->addWidget(startButton, 1, 2, 1, 1);
    mainLayout->addWidget(statusLabel, 2, 0, 1, 5);
    mainLayout->addWidget(gifLabel, 3, 0, 1, 5);
    setLayout(mainLayout);

    setWindowTitle(tr("Solvane Firmware Updater for Kestrix"));

    announceChoice(portComboBox);

    connect(browseButton, &QPushButton::clicked, this, &Dialog::listfiles);
    connect(startButton, &QPushButton::clicked, this, &Dialog::transaction);
    connect(&masterThread, &MasterThread::response, this, &Dialog::showResponse);
    connect(&masterThread, &MasterThread::startgif, this, &Dialog::startGif);
    connect(&masterThread, &MasterThread::stopgif, this, &Dialog::stopGif);
    connect(&masterThread, &MasterThread::completion, this, &Dialog::showMessageBox);
    connect(&masterThread, &MasterThread::failure, this, &Dialog::showFailMessageBox);
}

void Dialog::transaction()
{
    masterThread.transaction(portComboBox->currentText(), firmwareFile);
}

void Dialog::listfiles()
{
    const QString currentPath = QDir::currentPath();
    qDebug("Current Path/Dir %s", qUtf8Printable(currentPath));
    firmwareFile = QFileDialog::getOpenFileName(
            this, tr("Select Firmware File"), currentPath, tr("Firmware Files (*.bin)"));
    takeBackActivation(this);
    fileLineEdit->setText(firmwareFile);
}

void Dialog::showResponse(const QString &s)
{
    statusLabel->setText(s);
    // Heard as it is seen, though the focus is elsewhere.
    announce(statusLabel, statusHeadline(s));
    // The run may be followed at once by a modal box; show the text now.
    repaint();
}

void Dialog::showMessageBox()
{
    QPalette palette = this->palette();
    palette.setBrush(QPalette::All, QPalette::Window, QBrush(Qt::green, Qt::SolidPattern));

    QMessageBox msgBox;
    msgBox.setPalette(palette);
    msgBox.setText(QStringLiteral("<FONT COLOR='#008000'>Programming SUCCESSFUL"));
    // Which file went to which port, and the procedure's next step: the file
    // field may show another file by now, chosen while this one was written.
    msgBox.setInformativeText(describeRun(masterThread.lastCause()).informative);
    msgBox.setStandardButtons(QMessageBox::Ok);
    nameMessageBox(&msgBox);
    // Windows' own style paints a message box with its task-dialog panels,
    // white and grey, over whatever the palette says. Without that styled
    // background the box shows the palette's green; other styles draw none.
    msgBox.ensurePolished();
    msgBox.setAttribute(Qt::WA_StyledBackground, false);
    msgBox.exec();
}

void Dialog::showFailMessageBox()
{
    QMessageBox msgBox;
    msgBox.setText(QStringLiteral("<FONT COLOR='#DC143C'>Programming FAILED!!!</FONT>"));
    // Why, what to do, and whether the device was changed; the technical
    // reason and what the programmer printed are one click away.
    const RunWords words = describeRun(masterThread.lastCause());
    msgBox.setInformativeText(words.informative);
    msgBox.setDetailedText(words.details);
    // Its last lines say where it stopped; they are the ones in view.
    if (auto *details = msgBox.findChild<QTextEdit *>())
        details->moveCursor(QTextCursor::End);
    msgBox.setStandardButtons(QMessageBox::Ok);
    nameMessageBox(&msgBox);
    msgBox.exec();
}

void Dialog::startGif()
{
    gifLabel->setMovie(gifMovie);
    gifMovie->start();
    // What the animation shows, for those who do not see it.
    gifLabel->setAccessibleName(tr("Programming in progress"));
    announce(gifLabel, gifLabel->accessibleName());
}

void Dialog::stopGif()
{
    gifMovie->stop();
    gifLabel->setText(QStringLiteral("   "));
    gifLabel->setAccessibleName(QString());
}
