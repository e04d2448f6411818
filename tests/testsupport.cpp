#include "testsupport.h"

#include "masterthread.h"
#include "preflight.h"
#include "shellsettings.h"
#include "statustexts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <vector>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

using namespace std::chrono_literals;

namespace {
#ifdef Q_OS_WIN
const QString executableSuffix = QStringLiteral(".exe");
const char pathSeparator = ';';
#else
const QString executableSuffix;
const char pathSeparator = ':';
#endif

QStringList deniedPorts;

// As the system answers for a port of the group dialout.
PortAccess fakePortAccess(const QString &devicePath)
{
    if (!deniedPorts.contains(QFileInfo(devicePath).fileName()))
        return {};
    return { true, QStringLiteral("Permission denied"), QStringLiteral("dialout"), true };
}

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

FakeProgrammer::FakeProgrammer(Arguments arguments)
    : m_oldPath(qgetenv("PATH"))
{
    // Beside the test programs, built with them.
    const QString name = arguments == Arguments::Narrow ? QStringLiteral("fakeprogrammer-narrow")
                                                        : QStringLiteral("fakeprogrammer");
    const QString built =
            QDir(QCoreApplication::applicationDirPath()).filePath(name + executableSuffix);
    // A copy, not a link: Windows would take a link for a shortcut file.
    // A program for another processor is started through its emulator.
    const QString emulator = qEnvironmentVariable("KESTRIX_TEST_EMULATOR");
    const bool placed = emulator.isEmpty()
            ? QFile::copy(built, programPath())
            : writeFile(programPath(),
                      "#!/bin/sh\nexec '" + QFile::encodeName(emulator) + "' '"
                              + QFile::encodeName(built) + "' \"$@\"\n")
                    && QFile::setPermissions(
                            programPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!placed)
        qWarning("Could not put the fake programmer in place");
    qputenv("PATH",
            QFile::encodeName(QDir::toNativeSeparators(m_dir.path())) + pathSeparator + m_oldPath);
    qputenv("FAKE_PROGRAMMER_RECORD", QFile::encodeName(m_dir.filePath(QStringLiteral("calls"))));
    qputenv("FAKE_PROGRAMMER_PIDFILE", QFile::encodeName(m_dir.filePath(QStringLiteral("pid"))));
    qunsetenv("FAKE_PROGRAMMER_HOLD");
    setOutput("Done.\n");
    setErrorOutput(QByteArray());
    setCrash(false);
    setSleepMs(0);
    setSleepAfterOutputMs(0);
}

FakeProgrammer::~FakeProgrammer()
{
    release();
    qunsetenv("FAKE_PROGRAMMER_HOLD");
    qputenv("PATH", m_oldPath);
}

void FakeProgrammer::hold()
{
    qputenv("FAKE_PROGRAMMER_HOLD", QFile::encodeName(m_dir.filePath(QStringLiteral("release"))));
}

void FakeProgrammer::release()
{
    QFile(m_dir.filePath(QStringLiteral("release"))).open(QIODevice::WriteOnly);
}

bool FakeProgrammer::waitForCalls(int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return calls().size() >= count; }, timeoutMs);
}

QString FakeProgrammer::programPath() const
{
    return m_dir.filePath(QStringLiteral("stmflshr") + executableSuffix);
}

void FakeProgrammer::setOutput(const QByteArray &output)
{
    qputenv("FAKE_PROGRAMMER_OUTPUT", output);
}

void FakeProgrammer::setErrorOutput(const QByteArray &errors)
{
    if (errors.isEmpty())
        qunsetenv("FAKE_PROGRAMMER_ERROR");
    else
        qputenv("FAKE_PROGRAMMER_ERROR", errors);
}

void FakeProgrammer::setCrash(bool crash)
{
    if (crash)
        qputenv("FAKE_PROGRAMMER_CRASH", "1");
    else
        qunsetenv("FAKE_PROGRAMMER_CRASH");
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

QByteArray FakeProgrammer::recorded(int line) const
{
    QFile file(m_dir.filePath(QStringLiteral("pid")));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll().split('\n').value(line).trimmed();
}

qint64 FakeProgrammer::pid() const
{
    return recorded(0).toLongLong();
}

qint64 FakeProgrammer::parentPid() const
{
    return recorded(1).toLongLong();
}

bool FakeProgrammer::ranFromItsFolder() const
{
    return QFileInfo(QString::fromUtf8(recorded(2))) == QFileInfo(programPath());
}

void FakeProgrammer::removeFromPath()
{
    QFile::remove(programPath());
}

QByteArray firmwareImage()
{
    // Stack at 0x20002000, reset handler at 0x08000008 in Thumb code, where
    // "b ." waits; the rest as erased flash holds it.
    QByteArray image = QByteArray::fromHex("00200020"
                                           "09000008"
                                           "fee7");
    return image.leftJustified(256, char(0xff));
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
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

extern QStringList fakeSerialPorts;

void usePorts(const QStringList &present, const QStringList &denied)
{
    fakeSerialPorts = present;
    deniedPorts = denied;
    setPortAccessProbe(fakePortAccess);
}

int execTest(QObject *test, int argc, char *argv[])
{
#ifdef Q_OS_WIN
    if (!GetConsoleWindow()) {
        QTemporaryDir dir;
        const QByteArray log = QFile::encodeName(dir.filePath(QStringLiteral("test.log")));
        QByteArray output = "-o";
        QByteArray file = log + ",txt";
        std::vector<char *> arguments(argv, argv + argc);
        arguments.push_back(output.data());
        arguments.push_back(file.data());
        const int result = QTest::qExec(test, int(arguments.size()), arguments.data());
        QFile written(QFile::decodeName(log));
        if (written.open(QIODevice::ReadOnly)) {
            const QByteArray text = written.readAll();
            std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
            std::fflush(stdout);
        }
        return result;
    }
#endif
    return QTest::qExec(test, argc, argv);
}
