#include "masterthread.h"

#include <QDebug>

// Handed over by transaction() in the GUI thread and read by the run in the
// worker's thread; starting the thread orders the writes before the reads.
QString transactionPortName;
QString transactionFirmwareFile;

MasterThread::MasterThread(QObject *parent)
    : QThread(parent)
{
}

MasterThread::~MasterThread()
{
    qDebug("Ending Thread, wait");
    // A run is never cut short: a half-written flash is worse than a wait.
    wait();
}

void MasterThread::transaction(const QString &portName, const QString &firmwareFile)
{
    // A run in progress is reading these; a second Start must leave it alone,
    // and start() would not begin a second run anyway.
    if (isRunning())
        return;
    transactionPortName = portName;
    transactionFirmwareFile = firmwareFile;
    start(QThread::InheritPriority);
}

void MasterThread::run()
{
}
