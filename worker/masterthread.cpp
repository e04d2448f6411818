#include "masterthread.h"

#include "flashcommand.h"
#include "shellprocess.h"
#include "shellsettings.h"
#include "statustexts.h"

#include <QDebug>

// Handed over by transaction() in the GUI thread and read by the run in the
// worker's thread; starting the thread orders the writes before the reads.
QString transactionPortName;
QString transactionFirmwareFile;

namespace {
int msecs(std::chrono::milliseconds timeout)
{
    return static_cast<int>(timeout.count());
}

// Writes the command to a new shell, waits for the shell to end and returns
// what it wrote to standard output after it was given the command.
QByteArray runThroughShell(const FlashCommand &command, const ShellSettings &settings)
{
    ShellProcess process(settings.endGraceTimeout);
    if (settings.kind == ShellKind::Cmd) {
        // The verdict knows cmd.exe's prompt by its default shape; a prompt
        // of the user's own could hold anything, "Done." included.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PROMPT"), QStringLiteral("$P$G"));
        process.setProcessEnvironment(environment);
    }
    process.start(settings.program, settings.arguments, QIODevice::ReadWrite);
    if (!process.waitForStarted(msecs(settings.startTimeout))) {
        qDebug() << qPrintable(QStringLiteral("Error starting %1 process").arg(settings.program));
        qDebug() << process.errorString();
    }

    // Lets the shell say hello before it is given the command; it does not
    // end here, as it is still waiting for input.
    process.waitForReadyRead(msecs(settings.greetingTimeout));
    process.waitForFinished(msecs(settings.greetingPause));
    const QByteArray greeting = process.readAllStandardOutput();
    qDebug() << greeting;

    process.write(command.line.constData(), command.line.length());
    process.closeWriteChannel();

    process.waitForBytesWritten(msecs(settings.writeTimeout));
    process.waitForReadyRead(msecs(settings.firstOutputTimeout));
    process.waitForFinished(msecs(settings.finishTimeout));
    const QByteArray result = process.readAllStandardOutput();
    qDebug("%s", result.constData());
    // The process goes with this scope, and with it whatever is still
    // running past the last wait, before the verdict reaches the user.
    return result;
}
} // namespace

MasterThread::MasterThread(QObject *parent)
    : QThread(parent)
{ }

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
    if (transactionFirmwareFile.isEmpty()) {
        emit response(statusSelectFileFirst);
        return;
    }

    const ShellSettings settings = ShellSettings::current();
    const QString firmwareFile = transactionFirmwareFile;
    const FlashCommand command = composeFlashCommand(
            firmwareFile, programmerPort(transactionPortName, settings.kind), settings.kind);

    // A line the shell would read as code is never handed to it; the run
    // then fails like any other.
    qDebug("%s", qUtf8Printable(command.isValid() ? command.text : command.problem));
    emit response(statusProgrammingStarted);
    emit startgif();

    const QByteArray result = command.isValid() ? runThroughShell(command, settings) : QByteArray();
    emit stopgif();

    if (command.isValid() && flashSucceeded(result, command, firmwareFile)) {
        emit response(statusProgrammingSuccessful);
        emit completion();
    } else {
        emit response(statusProgrammingFailed);
        emit failure();
    }
}
