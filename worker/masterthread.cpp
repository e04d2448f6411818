#include "masterthread.h"

#include "firmwareimage.h"
#include "flashcommand.h"
#include "flashverdict.h"
#include "preflight.h"
#include "serialports.h"
#include "shellprocess.h"
#include "shellsettings.h"
#include "statustexts.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

// Handed over by transaction() in the GUI thread and read by the run in the
// worker's thread; starting the thread orders the writes before the reads.
QString transactionPortName;
QString transactionFirmwareFile;

namespace {
int msecs(std::chrono::milliseconds timeout)
{
    return static_cast<int>(timeout.count());
}

struct ShellRun
{
    // What the shell wrote to standard output after it was given the
    // command, and to standard error all along: a programmer writes its
    // errors there.
    QByteArray output;
    QByteArray errors;
    // Why the shell did not start, if it did not.
    QString startError;
    // Whether the shell had ended by the end of the last wait. A programmer
    // still running then is cut off mid-write, whatever it printed so far.
    bool ended = false;
    // Set when the shell was never given the command.
    Refusal refusal;
};

// Reads the firmware file once, before anything runs, and closes it again:
// the programmer writes whatever it is given and says "Done.", and a file
// that cannot start the device leaves it without firmware.
Refusal checkFirmwareFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return unreadableFirmwareRefusal(path, MasterThread::tr("it is not there"));
    // Opening a pipe or a device for reading could wait for ever.
    if (!info.isFile())
        return unreadableFirmwareRefusal(path, MasterThread::tr("it is not a file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unreadableFirmwareRefusal(path, file.errorString());
    qint64 size = file.size();
    // A file too large to be firmware is never read whole.
    QByteArray bytes;
    if (size <= maximumFirmwareSize) {
        bytes = file.read(maximumFirmwareSize + 1);
        if (file.error() != QFileDevice::NoError)
            return unreadableFirmwareRefusal(path, file.errorString());
        size = bytes.size();
    }
    return firmwareImageRefusal(path, checkFirmwareImage(bytes, size));
}

// Writes the command to a new shell and waits for the shell to end.
ShellRun runThroughShell(const FlashCommand &command, const ShellSettings &settings)
{
    ShellProcess process(settings.endGraceTimeout);
    process.setWorkingDirectory(settings.workingDirectory);
    process.startShell(settings.program, settings.arguments);
    const bool started = process.waitForStarted(msecs(settings.startTimeout));
    QString startError;
    if (!started) {
        startError = process.errorString();
        qDebug() << qPrintable(QStringLiteral("Error starting %1 process")
                                       .arg(QFileInfo(settings.program).fileName()));
        qDebug() << startError;
    } else if (!process.holdsProcessTree()) {
        // A programmer that could not be ended with the run might go on
        // writing to the device after the user was told the run failed.
        ShellRun run;
        QString advice = process.holdAdvice();
        if (advice.isEmpty()) {
            advice = QCoreApplication::translate("MasterThread",
                    "The updater could not make sure that the flash programmer would stop with "
                    "the run, so it did not start it. Try again; if this keeps happening, "
                    "restart the computer.");
        }
        run.refusal = { QStringLiteral("Refusing to run: %1, so the programmer could not be "
                                       "ended with the run")
                                .arg(process.holdFailure()),
            advice };
        qDebug("%s", qUtf8Printable(run.refusal.logLine));
        return run;
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
    ShellRun run;
    run.startError = startError;
    run.ended = started && process.state() == QProcess::NotRunning;
    run.output = process.readAllStandardOutput();
    qDebug("%s", run.output.constData());
    run.errors = process.readAllStandardError();
    if (!run.errors.isEmpty())
        qDebug("%s", run.errors.constData());
    // The process goes with this scope, and with it whatever is still
    // running past the last wait, before the verdict reaches the user.
    return run;
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
    setLastFailure(FailureReport());
    start(QThread::InheritPriority);
}

FailureReport MasterThread::lastFailure() const
{
    QMutexLocker locker(&m_failureMutex);
    return m_lastFailure;
}

void MasterThread::setLastFailure(const FailureReport &report)
{
    QMutexLocker locker(&m_failureMutex);
    m_lastFailure = report;
}

void MasterThread::run()
{
    if (transactionFirmwareFile.isEmpty()) {
        emit response(statusSelectFileFirst);
        return;
    }

    const ShellSettings settings = ShellSettings::current();
    const QString firmwareFile = transactionFirmwareFile;
    const QString portName = transactionPortName;
    const QString port = programmerPort(portName, settings.kind);
    const CodePages codePages = shellCodePages(settings.kind);
    const FlashCommand command = composeFlashCommand(firmwareFile, port, settings.kind, codePages);

    // A line the shell would read as code, a file that could not start the
    // device, a port that is not there or not the user's to open, or a
    // programmer the shell would not find: none of these runs starts the
    // programmer. The run then fails like any other, and the window says why.
    Refusal refusal = command.isValid() ? checkFirmwareFile(firmwareFile) : command.refusal;
    if (refusal.isNull())
        refusal = checkPort(portName, port, availableSerialPortNames());
    if (refusal.isNull())
        refusal = checkProgrammerFound(settings);
    qDebug("%s", qUtf8Printable(refusal.isNull() ? command.text : refusal.logLine));
    emit response(statusProgrammingStarted);
    emit startgif();

    const ShellRun shell = refusal.isNull() ? runThroughShell(command, settings) : ShellRun();
    emit stopgif();

    if (shell.ended && flashSucceeded(shell.output, command)) {
        emit response(statusProgrammingSuccessful);
        emit completion();
    } else {
        FailedRun failed;
        failed.refusal = refusal.isNull() ? shell.refusal : refusal;
        failed.shellStartError = shell.startError;
        failed.cutOff = failed.refusal.isNull() && shell.startError.isEmpty() && !shell.ended;
        failed.finishTimeout = settings.finishTimeout;
        failed.output = programmerOutput(shell.output, command, settings.kind);
        failed.errors = shell.errors;
        failed.codePage = codePages.shell;
        // Kept before the failure is reported, which is when the window reads it.
        setLastFailure(describeFailure(failed));
        emit response(statusProgrammingFailed);
        emit failure();
    }
}
