#include "testsupport.h"

#include "masterthread.h"
#include "shellsettings.h"
#include "statustexts.h"

#include <QFile>
#include <QMutex>

using namespace std::chrono_literals;

namespace {
QMutex logMutex;
QStringList logMessages;
QtMessageHandler previousHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        QMutexLocker locker(&logMutex);
        logMessages.append(message);
    }
    previousHandler(type, context, message);
}
} // namespace

LogCapture::LogCapture()
{
    QMutexLocker locker(&logMutex);
    logMessages.clear();
    previousHandler = qInstallMessageHandler(captureMessage);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previousHandler);
}

QStringList LogCapture::messages() const
{
    QMutexLocker locker(&logMutex);
    return logMessages;
}

const QStringList successEvents = { QStringLiteral("response:started"), QStringLiteral("startgif"),
    QStringLiteral("stopgif"), QStringLiteral("response:successful"),
    QStringLiteral("completion") };
const QStringList failureEvents = { QStringLiteral("response:started"), QStringLiteral("startgif"),
    QStringLiteral("stopgif"), QStringLiteral("response:failed"), QStringLiteral("failure") };

QString statusEvent(const QString &statusText)
{
    if (statusText == statusSelectFileFirst)
        return QStringLiteral("response:selectFileFirst");
    if (statusText == statusProgrammingStarted)
        return QStringLiteral("response:started");
    if (statusText == statusProgrammingSuccessful)
        return QStringLiteral("response:successful");
    if (statusText == statusProgrammingFailed)
        return QStringLiteral("response:failed");
    return QStringLiteral("response:") + statusText;
}

SignalRecorder::SignalRecorder(MasterThread *worker)
{
    connect(worker, &MasterThread::response, this,
            [this](const QString &s) { events << statusEvent(s); });
    connect(worker, &MasterThread::startgif, this,
            [this] { events << QStringLiteral("startgif"); });
    connect(worker, &MasterThread::stopgif, this, [this] { events << QStringLiteral("stopgif"); });
    connect(worker, &MasterThread::completion, this,
            [this] { events << QStringLiteral("completion"); });
    connect(worker, &MasterThread::failure, this, [this] { events << QStringLiteral("failure"); });
}

FakeProgrammer::FakeProgrammer(Kind kind)
    : m_kind(kind)
    , m_oldPath(qgetenv(kind == Kind::Windows ? "WINEPATH" : "PATH"))
{
    // Windows programs are told Windows paths; Wine adds WINEPATH to theirs.
    const bool windows = kind == Kind::Windows;
    const auto envPath = [windows](const QString &path) {
        return QFile::encodeName(windows ? wineDosPath(path) : path);
    };
    QFile::link(windows ? QStringLiteral(FAKE_WINDOWS_PROGRAMMER_PATH)
                        : QStringLiteral(FAKE_PROGRAMMER_PATH),
            programPath());
    qputenv(windows ? "WINEPATH" : "PATH",
            envPath(m_dir.path()) + (windows ? ';' : ':') + m_oldPath);
    qputenv("FAKE_PROGRAMMER_RECORD", envPath(m_dir.filePath(QStringLiteral("calls"))));
    qputenv("FAKE_PROGRAMMER_PIDFILE", envPath(m_dir.filePath(QStringLiteral("pid"))));
    setOutput("Done.\n");
    setSleepMs(0);
    setSleepAfterOutputMs(0);
}

FakeProgrammer::~FakeProgrammer()
{
    qputenv(m_kind == Kind::Windows ? "WINEPATH" : "PATH", m_oldPath);
}

QString FakeProgrammer::programPath() const
{
    return m_dir.filePath(
            m_kind == Kind::Windows ? QStringLiteral("stmflshr.exe") : QStringLiteral("stmflshr"));
}

void FakeProgrammer::setOutput(const QByteArray &output)
{
    qputenv("FAKE_PROGRAMMER_OUTPUT", output);
}

void FakeProgrammer::setSleepMs(int msecs)
{
    qputenv("FAKE_PROGRAMMER_SLEEP_MS", QByteArray::number(msecs));
}

void FakeProgrammer::setSleepAfterOutputMs(int msecs)
{
    qputenv("FAKE_PROGRAMMER_SLEEP_AFTER_MS", QByteArray::number(msecs));
}

QList<QList<QByteArray>> FakeProgrammer::calls() const
{
    QFile file(m_dir.filePath(QStringLiteral("calls")));
    QList<QList<QByteArray>> calls;
    if (!file.open(QIODevice::ReadOnly))
        return calls;
    // Arguments may hold line feeds themselves; a call ends with NUL + LF,
    // or with a bare LF when it had no arguments.
    QByteArray data = file.readAll();
    QList<QByteArray> current;
    QByteArray arg;
    for (int i = 0; i < data.size(); ++i) {
        const char c = data.at(i);
        if (c == '\0') {
            current << arg;
            arg.clear();
        } else if (c == '\n' && arg.isEmpty()) {
            calls << current;
            current.clear();
        } else {
            arg += c;
        }
    }
    return calls;
}

qint64 FakeProgrammer::pid() const
{
    QFile file(m_dir.filePath(QStringLiteral("pid")));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
}

void FakeProgrammer::removeFromPath()
{
    QFile::remove(programPath());
}

QString wineDosPath(const QString &path)
{
    // Wine's drive Z: is the root of this machine.
    return QStringLiteral("Z:") + QString(path).replace(QLatin1Char('/'), QLatin1Char('\\'));
}

void useShortShellTimeouts()
{
    ShellSettings settings = ShellSettings::platformDefaults();
    settings.startTimeout = 5000ms;
    settings.greetingTimeout = 50ms;
    settings.greetingPause = 50ms;
    settings.writeTimeout = 1000ms;
    settings.firstOutputTimeout = 1000ms;
    settings.finishTimeout = 5000ms;
    settings.endGraceTimeout = 500ms;
    ShellSettings::setCurrent(settings);
}
