#include "masterthread.h"

#include "flashcommand.h"
#include "flashverdict.h"
#include "preflight.h"
#include "serialports.h"
#include "shellprocess.h"
#include "shellsettings.h"
#include "statustexts.h"

#include <QDebug>
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
    // Why the shell did not start, if it did not, as the log says it.
    QString startError;
    // Whether the shell had ended by the end of the last wait. A programmer
    // still running then is cut off mid-write, whatever it printed so far.
    bool ended = false;
    // Set when the shell was never given the command.
    RunCause refusal;
};

// Writes the command to a new shell and waits for the shell to end.
ShellRun runThroughShell(const FlashCommand &command, const ShellSettings &settings)
{
    ShellProcess process(settings.endGraceTimeout);
    process.setWorkingDirectory(settings.workingDirectory);
    process.startShell(settings.program, settings.arguments);
    const bool started = process.waitForStarted(msecs(settings.startTimeout));
    QString startError;
    if (!started) {
        startError = QStringLiteral("Error starting %1 process")
                             .arg(QFileInfo(settings.program).fileName());
        qDebug() << qPrintable(startError);
        qDebug() << process.errorString();
        startError += QStringLiteral(": ") + process.errorString();
    } else if (!process.holdsProcessTree()) {
        // A programmer that could not be ended with the run might go on
        // writing to the device after the user was told the run failed.
        ShellRun run;
        run.refusal.cause = process.heldByStarter() ? Cause::ProgrammerUncontrolledByStarter
                                                    : Cause::ProgrammerUncontrolled;
        run.refusal.technical = QStringLiteral("Refusing to run: %1, so the programmer could not "
                                               "be ended with the run")
                                        .arg(process.holdFailure());
        qDebug("%s", qUtf8Printable(run.refusal.technical));
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
    setLastCause(RunCause());
    start(QThread::InheritPriority);
}

RunCause MasterThread::lastCause() const
{
    QMutexLocker locker(&m_causeMutex);
    return m_lastCause;
}

void MasterThread::setLastCause(const RunCause &cause)
{
    QMutexLocker locker(&m_causeMutex);
    m_lastCause = cause;
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
    RunCause refusal = command.isValid() ? checkFirmwareFile(firmwareFile) : command.refusal;
    if (refusal.isNull())
        refusal = checkPort(portName, port, availableSerialPortNames());
    if (refusal.isNull())
        refusal = checkProgrammerFound(settings);
    qDebug("%s", qUtf8Printable(refusal.isNull() ? command.text : refusal.technical));
    emit response(statusProgrammingStarted);
    emit startgif();

    const ShellRun shell = refusal.isNull() ? runThroughShell(command, settings) : ShellRun();
    emit stopgif();

    RunCause outcome = refusal.isNull() ? shell.refusal : refusal;
    if (outcome.isNull()) {
        if (!shell.startError.isEmpty()) {
            outcome.cause = Cause::ShellNotStarted;
            outcome.technical = shell.startError;
        } else if (!shell.ended) {
            outcome.cause = Cause::CutOff;
        } else {
            outcome.cause = flashSucceeded(shell.output, command) ? Cause::Succeeded
                                                                  : Cause::NoSuccessReported;
        }
        outcome.output = programmerOutput(shell.output, command, settings.kind);
        outcome.errors = shell.errors;
        outcome.codePage = codePages.shell;
    }
    outcome.file = firmwareFile;
    outcome.port = portName;
    outcome.wait = settings.finishTimeout;
    // Kept before the outcome is reported, which is when the window reads it.
    setLastCause(outcome);
    if (outcome.cause == Cause::Succeeded) {
        emit response(statusProgrammingSuccessful);
        emit completion();
    } else {
        emit response(statusProgrammingFailed);
        emit failure();
    }
}
