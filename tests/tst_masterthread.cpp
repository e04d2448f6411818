#include "masterthread.h"
#include "runwords.h"
#include "shellprocess.h"
#include "shellsettings.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

#include <atomic>

#include <sys/stat.h>

using namespace std::chrono_literals;

namespace {
// A zombie has ended; only its entry is left for the parent to collect.
bool isAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) != "Z";
}

QList<QByteArray> expectedArguments(const QString &file, const QByteArray &port)
{
    QList<QByteArray> args = { "-b", "115200", "-e", "40", "-w", file.toUtf8() };
    if (!port.isEmpty())
        args << port;
    return args;
}
} // namespace

class MasterThreadTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        useShortShellTimeouts();
        usePorts({ "ttyS0", "ttyS1", "ttyUSB0", "x; touch PWNED" });
    }
    void cleanupTestCase() { ShellSettings::setCurrent(ShellSettings::platformDefaults()); }

    void idleDestructionReturnsAtOnce();
    void posixShellGreetsBeforeItsCommand();
    void noFileGivesOnlySelectFileFirst();
    void outcome_data();
    void outcome();
    void refusedRunStartsNoShell_data();
    void refusedRunStartsNoShell();
    void programmerGetsExactArguments_data();
    void programmerGetsExactArguments();
    void secondStartDuringRunStartsNothing();
    void destructionWaitsForTheRunsLastSignal();
    void endingTheShellEndsAllItStarted();

private:
    // A firmware image the run lets through, in a folder of the test's own.
    QString image(const QString &name)
    {
        const QString path = m_files.filePath(name);
        writeFile(path);
        return path;
    }

    QTemporaryDir m_files;
};

void MasterThreadTest::idleDestructionReturnsAtOnce()
{
    LogCapture log;
    QElapsedTimer timer;
    timer.start();
    {
        MasterThread worker;
    }
    // It would wait for ever if it waited for anything.
    QVERIFY(timer.elapsed() < 5000);
    QCOMPARE(log.messages(), QStringList { "Ending Thread, wait" });
}

void MasterThreadTest::posixShellGreetsBeforeItsCommand()
{
    // The greeting, not the wait's limit, ends the first wait for output.
    FakeProgrammer fake;
    ShellSettings settings = ShellSettings::current();
    settings.greetingTimeout = 60000ms;
    ShellSettings::setCurrent(settings);

    LogCapture log;
    MasterThread worker;
    SignalRecorder recorder(&worker);
    QElapsedTimer timer;
    timer.start();
    worker.transaction(QStringLiteral("ttyS0"), image(QStringLiteral("fw.bin")));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events, successEvents, 90000);
    QVERIFY2(timer.elapsed() < 30000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(log.messages().contains(QStringLiteral("\"Shell ready.\\n\"")));
    QCOMPARE(fake.calls().size(), 1);
}

void MasterThreadTest::noFileGivesOnlySelectFileFirst()
{
    FakeProgrammer fake;
    MasterThread worker;
    SignalRecorder recorder(&worker);
    worker.transaction(QStringLiteral("ttyS0"), QString());
    QVERIFY(worker.wait(5000));
    QTRY_COMPARE(recorder.events, QStringList { "response:selectFileFirst" });
    // The run has ended: all it sent is delivered now, and nothing more comes.
    QCoreApplication::sendPostedEvents();
    QCOMPARE(recorder.events, QStringList { "response:selectFileFirst" });
    QVERIFY(fake.calls().isEmpty());
}

void MasterThreadTest::outcome_data()
{
    QTest::addColumn<QByteArray>("output");
    // Written to standard error after the output; then it may crash.
    QTest::addColumn<QByteArray>("errors");
    QTest::addColumn<bool>("crash");
    QTest::addColumn<int>("sleepMs");
    QTest::addColumn<int>("sleepAfterMs");
    QTest::addColumn<bool>("shellPresent");
    QTest::addColumn<int>("cause");
    // What the box shows in its details.
    QTest::addColumn<QString>("details");

    const QByteArray none;
    const int done = int(Cause::Succeeded);
    const int noSuccess = int(Cause::NoSuccessReported);
    const int cutOff = int(Cause::CutOff);
    QTest::newRow("Done. inside a longer line") << QByteArray("50%\nall Done.really\n") << none
                                                << false << 0 << 0 << true << done << QString();
    QTest::newRow("Done. after a slow start")
            << QByteArray("Done.\n") << none << false << 1500 << 0 << true << done << QString();
    QTest::newRow("no Done.") << QByteArray("Error: no answer\n") << none << false << 0 << 0 << true
                              << noSuccess << "Output:\nError: no answer";
    QTest::newRow("done. in another case") << QByteArray("done.\n") << none << false << 0 << 0
                                           << true << noSuccess << "Output:\ndone.";
    QTest::newRow("its error on standard error")
            << QByteArray("Writing 25%\n") << QByteArray("Failed to init device.\n") << false << 0
            << 0 << true << noSuccess << "Error output:\nFailed to init device.";
    // The shell's word for the crash comes last; an emulator may have
    // written its own before it.
    QTest::newRow("a crash mid-write")
            << QByteArray("Writing 25%\n") << none << true << 0 << 0 << true << noSuccess
            << "Output:\nWriting 25%\n\nError output:\n";
    QTest::newRow("shell not started")
            << QByteArray("Done.\n") << none << false << 0 << 0 << false
            << int(Cause::ShellNotStarted) << "Error starting sh process: ";
    QTest::newRow("past the time-out")
            << QByteArray("Done.\n") << none << false << 60000 << 0 << true << cutOff << QString();
    // Cut off mid-write: what it printed before says nothing of the device.
    QTest::newRow("Done. then past the time-out")
            << QByteArray("Erasing 40 pages ... Done.\nWriting\n") << none << false << 0 << 60000
            << true << cutOff << "Output:\nErasing 40 pages";
}

void MasterThreadTest::outcome()
{
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, errors);
    QFETCH(bool, crash);
    QFETCH(int, sleepMs);
    QFETCH(int, sleepAfterMs);
    QFETCH(bool, shellPresent);
    QFETCH(int, cause);
    QFETCH(QString, details);
    const bool success = cause == int(Cause::Succeeded);

    FakeProgrammer fake;
    fake.setOutput(output);
    fake.setErrorOutput(errors);
    fake.setCrash(crash);
    fake.setSleepMs(sleepMs);
    fake.setSleepAfterOutputMs(sleepAfterMs);
    ShellSettings settings = ShellSettings::current();
    if (!shellPresent)
        settings.program = QStringLiteral("/nonexistent/sh");
    settings.finishTimeout = 3000ms;
    ShellSettings::setCurrent(settings);

    LogCapture log;
    MasterThread worker;
    SignalRecorder recorder(&worker);
    QElapsedTimer timer;
    timer.start();
    const QString file = image(QStringLiteral("new fw.bin"));
    worker.transaction(QStringLiteral("ttyS0"), file);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events, success ? successEvents : failureEvents, 15000);
    QVERIFY(worker.wait(1000));
    // What the box names: the cause, the file written and the port.
    const RunCause outcome = worker.lastCause();
    QCOMPARE(int(outcome.cause), cause);
    QCOMPARE(outcome.file, file);
    QCOMPARE(outcome.port, QStringLiteral("ttyS0"));
    const QString shown = describeRun(outcome).details;
    QVERIFY2(shown.contains(details), qPrintable(shown));
    if (crash)
        QVERIFY2(shown.endsWith(QStringLiteral("\nSegmentation fault")), qPrintable(shown));

    const QStringList messages = log.messages();
    QVERIFY(messages.contains("stmflshr -b 115200 -e 40 -w \"" + file + "\" /dev/ttyS0 \n"));
    // The debug log holds what went to standard error too.
    if (!errors.isEmpty())
        QVERIFY(messages.contains(QString::fromUtf8(errors)));
    if (!shellPresent) {
        const int at = messages.indexOf("Error starting sh process");
        QVERIFY(at >= 0);
        QVERIFY(messages.value(at + 1).startsWith(QLatin1Char('"')));
        QVERIFY(fake.calls().isEmpty());
    }
    if (sleepMs + sleepAfterMs > settings.finishTimeout.count()) {
        // The verdict came at the time-out, not when the programmer would
        // have ended, and only once the programmer had gone.
        QVERIFY(timer.elapsed() < 30000);
        QVERIFY(fake.pid() > 0);
        QVERIFY(!isAlive(fake.pid()));
    }
}

void MasterThreadTest::refusedRunStartsNoShell_data()
{
    QTest::addColumn<int>("shell");
    QTest::addColumn<QString>("name");
    // What the file is: bytes, missing, folder, pipe or sparse (17 MiB).
    // Or what else is wrong: no port, a port gone or not the user's, no
    // programmer.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("cause");

    const int posix = int(ShellKind::Posix);
    const QByteArray good = firmwareImage();
    // cmd.exe cannot be handed a percent sign safely; /bin/sh stands in for
    // it here.
    QTest::newRow("percent sign, for cmd.exe")
            << int(ShellKind::Cmd) << "%PATH%.bin"
            << "bytes" << firmwareImage() << int(Cause::FileNameCharacter);
    QTest::newRow("empty file") << posix << "empty.bin"
                                << "bytes" << QByteArray() << int(Cause::FileEmpty);
    QTest::newRow("text file") << posix << "notes.bin"
                               << "bytes" << QByteArray("Release notes\n").repeated(200)
                               << int(Cause::FileNotFirmware);
    QTest::newRow("image linked behind a boot loader")
            << posix << "app.bin"
            << "bytes" << QByteArray::fromHex("0050002001810008").leftJustified(3000, '\xff')
            << int(Cause::FileForElsewhere);
    QTest::newRow("file gone since it was chosen")
            << posix << "gone.bin"
            << "missing" << QByteArray() << int(Cause::FileMissing);
    QTest::newRow("a folder") << posix << "folder.bin"
                              << "folder" << QByteArray() << int(Cause::FileNotAFile);
    // Opening it would wait for a writer for ever.
    QTest::newRow("a named pipe") << posix << "pipe.bin"
                                  << "pipe" << QByteArray() << int(Cause::FileNotAFile);
    QTest::newRow("17 MiB, sparse") << posix << "huge.bin"
                                    << "sparse" << QByteArray() << int(Cause::FileTooLarge);
    QTest::newRow("no port at all") << posix << "fw.bin"
                                    << "no port" << good << int(Cause::NoPort);
    QTest::newRow("the port is gone") << posix << "fw.bin"
                                      << "port gone" << good << int(Cause::PortGone);
    QTest::newRow("the port is not the user's to open")
            << posix << "fw.bin"
            << "port denied" << good << int(Cause::PortForGroup);
    QTest::newRow("no programmer on PATH")
            << posix << "fw.bin"
            << "no programmer" << good << int(Cause::ProgrammerNotOnPath);
}

void MasterThreadTest::refusedRunStartsNoShell()
{
    QFETCH(int, shell);
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(int, cause);

    FakeProgrammer fake;
    ShellSettings settings = ShellSettings::current();
    settings.kind = ShellKind(shell);
    ShellSettings::setCurrent(settings);
    QTemporaryDir folder;
    const QString file = folder.filePath(name);
    if (kind == QLatin1String("bytes")) {
        QVERIFY(writeFile(file, bytes));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(file));
    } else if (kind == QLatin1String("pipe")) {
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    } else if (kind == QLatin1String("sparse")) {
        QFile huge(file);
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(17) << 20));
    } else if (kind != QLatin1String("missing")) {
        QVERIFY(writeFile(file, bytes));
    }
    QString port = QStringLiteral("ttyS0");
    if (kind == QLatin1String("no port"))
        port.clear();
    else if (kind == QLatin1String("port gone"))
        usePorts({ "ttyS1" });
    else if (kind == QLatin1String("port denied"))
        usePorts({ "ttyS0" }, { "ttyS0" });
    else if (kind == QLatin1String("no programmer"))
        fake.removeFromPath();

    LogCapture log;
    MasterThread worker;
    SignalRecorder recorder(&worker);
    worker.transaction(port, file);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events, failureEvents, 10000);
    QVERIFY(worker.wait(1000));
    QVERIFY(fake.calls().isEmpty());
    const RunCause outcome = worker.lastCause();
    QCOMPARE(int(outcome.cause), cause);
    QVERIFY(outcome.output.isEmpty() && outcome.errors.isEmpty());
    // One line says what was refused and why, as the details do; no shell
    // said hello.
    const QStringList messages = log.messages();
    const QStringList refusals = messages.filter(QStringLiteral("Refusing to run"));
    QCOMPARE(refusals, QStringList { outcome.technical });
    const QStringList notAboutTheFile = { "no port", "port gone", "port denied", "no programmer" };
    QCOMPARE(refusals.first().contains(file), !notAboutTheFile.contains(kind));
    QVERIFY(messages.filter(QStringLiteral("stmflshr -b")).isEmpty());
    QVERIFY(messages.filter(QStringLiteral("Shell ready.")).isEmpty());
}

void MasterThreadTest::programmerGetsExactArguments_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QByteArray>("devicePath");

    QTest::newRow("spaces") << "new fw 1.bin"
                            << "ttyUSB0" << QByteArray("/dev/ttyUSB0");
    QTest::newRow("non-ASCII") << QStringLiteral("gr\u00fc\u00dfe-\u65e5.bin") << "ttyUSB0"
                               << QByteArray("/dev/ttyUSB0");
    QTest::newRow("command substitution") << "fw$(touch PWNED).bin"
                                          << "ttyS0" << QByteArray("/dev/ttyS0");
    QTest::newRow("backquote") << "fw`touch PWNED`.bin"
                               << "ttyS0" << QByteArray("/dev/ttyS0");
    QTest::newRow("double quote") << "fw\"; touch PWNED; \".bin"
                                  << "ttyS0" << QByteArray("/dev/ttyS0");
    QTest::newRow("backslash") << "fw\\\"\\$x.bin"
                               << "ttyS0" << QByteArray("/dev/ttyS0");
    QTest::newRow("single quote and line feed") << "it's\n touch PWNED.bin"
                                                << "ttyS0" << QByteArray("/dev/ttyS0");
    QTest::newRow("hostile port") << "fw.bin"
                                  << "x; touch PWNED" << QByteArray("/dev/x; touch PWNED");
}

void MasterThreadTest::programmerGetsExactArguments()
{
    QFETCH(QString, name);
    QFETCH(QString, port);
    QFETCH(QByteArray, devicePath);

    FakeProgrammer fake;
    QTemporaryDir work;
    const QString oldDir = QDir::currentPath();
    QDir::setCurrent(work.path());
    const QString file = work.filePath(name);
    QVERIFY(writeFile(file));

    MasterThread worker;
    SignalRecorder recorder(&worker);
    worker.transaction(port, file);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events.size(), successEvents.size(), 10000);
    QDir::setCurrent(oldDir);

    QCOMPARE(fake.calls(), QList<QList<QByteArray>> { expectedArguments(file, devicePath) });
    QVERIFY(!QFile::exists(work.filePath(QStringLiteral("PWNED"))));
    QVERIFY(!QFile::exists(QDir(oldDir).filePath(QStringLiteral("PWNED"))));
}

void MasterThreadTest::secondStartDuringRunStartsNothing()
{
    FakeProgrammer fake;
    fake.hold();
    MasterThread worker;
    SignalRecorder recorder(&worker);
    const QString first = image(QStringLiteral("first.bin"));
    const QString second = image(QStringLiteral("second.bin"));
    worker.transaction(QStringLiteral("ttyS0"), first);
    QVERIFY(fake.waitForCalls(1));
    worker.transaction(QStringLiteral("ttyS1"), second);
    fake.release();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events, successEvents, 10000);
    QVERIFY(worker.wait(1000));
    QCoreApplication::sendPostedEvents();
    QCOMPARE(recorder.events, successEvents);
    QCOMPARE(fake.calls(), QList<QList<QByteArray>> { expectedArguments(first, "/dev/ttyS0") });

    // Once idle again, a hand-over runs with what it brings.
    recorder.events.clear();
    worker.transaction(QStringLiteral("ttyS1"), second);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events, successEvents, 10000);
    QCOMPARE(fake.calls().value(1), expectedArguments(second, "/dev/ttyS1"));
}

void MasterThreadTest::destructionWaitsForTheRunsLastSignal()
{
    // Held, the programmer runs into the run's time-out: the run then ends
    // on its own, and the destructor must wait for it.
    FakeProgrammer fake;
    fake.hold();
    std::atomic<bool> lastSignalEmitted { false };
    auto *worker = new MasterThread;
    connect(
            worker, &MasterThread::failure, worker, [&] { lastSignalEmitted = true; },
            Qt::DirectConnection);
    worker->transaction(QStringLiteral("ttyS0"), image(QStringLiteral("fw.bin")));
    QVERIFY(fake.waitForCalls(1));
    QVERIFY(worker->isRunning());
    delete worker;
    QVERIFY(lastSignalEmitted);
}

void MasterThreadTest::endingTheShellEndsAllItStarted()
{
    // A shell that has started a second process and become a third.
    qint64 group = 0;
    {
        ShellProcess shell(500ms);
        shell.startShell(QStringLiteral("/bin/sh"),
                { QStringLiteral("-c"), QStringLiteral("sleep 60 & exec sleep 61") });
        QVERIFY(shell.waitForStarted(5000));
        group = shell.processId();
        const auto names = [group] {
            QStringList names;
            for (const ShellProcess::GroupMember &member : ShellProcess::liveGroupMembers(group))
                names << member.name;
            return names;
        };
        // Once the shell has become the second sleep.
        QTRY_COMPARE_WITH_TIMEOUT(names(), QStringList({ "sleep", "sleep" }), 10000);
    }
    // Gone when the process object is, not some time after.
    QCOMPARE(ShellProcess::liveGroupMembers(group).size(), 0);
}

KESTRIX_TEST_MAIN(MasterThreadTest, QCoreApplication)
#include "tst_masterthread.moc"
