// The worker as it runs on Windows: cmd.exe as the program starts it, the
// fake programmer in both forms Windows programs take their arguments in,
// the job that ends them, the code pages the line passes through, and the
// folders it must not take programs from.
#include "codepage.h"
#include "flashcommand.h"
#include "masterthread.h"
#include "runwords.h"
#include "shellsettings.h"
#include "testsupport.h"

#include <QtTest>

#include <functional>
#include <string>

#include <qt_windows.h>

using namespace std::chrono_literals;

namespace {
using Arguments = FakeProgrammer::Arguments;

QList<QByteArray> expectedArguments(const QString &file, const QString &port)
{
    return { "-b", "115200", "-e", "40", "-w", file.toUtf8(), port.toUtf8() };
}

bool isGone(qint64 pid)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(pid));
    if (!process)
        return GetLastError() == ERROR_INVALID_PARAMETER;
    const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

// Each row once for either form of the programmer.
void newRowForEach(const char *name, const std::function<void(QTestData &)> &columns)
{
    for (const auto &[form, suffix] : { std::pair { Arguments::Wide, " (wide)" },
                 std::pair { Arguments::Narrow, " (narrow main)" } })
        columns(QTest::newRow((QByteArray(name) + suffix).constData()) << int(form));
}

void setConsoleCodePage(const wchar_t *key, DWORD codePage)
{
    if (codePage)
        RegSetKeyValueW(HKEY_CURRENT_USER, key, L"CodePage", REG_DWORD, &codePage, sizeof codePage);
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"CodePage");
}

// Programs that would answer in the shell's or the programmer's place, as a
// folder of downloads might hold them: copies of the fake, which record any
// call, and a batch file that only says "Done.".
void plantPrograms(const QString &folder)
{
    QDir().mkpath(folder);
    const QString fake =
            QDir(QCoreApplication::applicationDirPath()).filePath("fakeprogrammer.exe");
    for (const char *name : { "cmd.exe", "stmflshr.com" })
        QFile::copy(fake, QDir(folder).filePath(name));
    QFile batch(QDir(folder).filePath("stmflshr.bat"));
    if (batch.open(QIODevice::WriteOnly))
        batch.write("@echo Done.\r\n");
}

void letJobsProcessesBreakAway(HANDLE job, bool letGo)
{
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = letGo ? JOB_OBJECT_LIMIT_BREAKAWAY_OK : 0;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
}

const wchar_t consoleKey[] = L"Console";
const wchar_t cmdConsoleKey[] = L"Console\\%SystemRoot%_system32_cmd.exe";
} // namespace

class CmdShellTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init()
    {
        ShellSettings::setCurrent(m_settings);
        usePorts({ "COM3", "COM 3" });
    }
    void cleanupTestCase();

    void codePagesAsTheSystemReportsThem();
    void codePagesThatTakeNoFlags_data();
    void codePagesThatTakeNoFlags();
    void pathAndPort_data();
    void pathAndPort();
    void outcome_data();
    void outcome();
    void programmerPastTheLastWaitIsGoneBeforeTheVerdict_data();
    void programmerPastTheLastWaitIsGoneBeforeTheVerdict();

private:
    // A firmware image under a folder of the test's own, by a name given
    // with the separators the path is to have; refused names may name no
    // file Windows can make.
    QString image(const QString &name) const
    {
        const QString path = name.contains(QLatin1Char('/'))
                ? m_files.path() + QLatin1Char('/') + name
                : QDir::toNativeSeparators(m_files.path()) + QLatin1Char('\\') + name;
        writeFile(path);
        return path;
    }
    // Runs one hand-over to its last signal: the shell in a folder of the
    // given name, and the updater in a folder of planted programs.
    QStringList run(const QString &port, const QString &file,
            const QString &shellFolder = QString(), bool planted = false,
            MasterThread *worker = nullptr);
    // Every process this test and its runs have started so far.
    DWORD processesStarted() const;

    ShellSettings m_settings = ShellSettings::platformDefaults();
    HANDLE m_job = nullptr;
    QTemporaryDir m_files;
};

void CmdShellTest::initTestCase()
{
    // Wine's cmd.exe ignores the registry's AutoRun and DelayedExpansion, so
    // no run here can show them; the rule is that a run turns both off.
    QCOMPARE(m_settings.arguments.mid(0, 2), QStringList({ "/D", "/V:OFF" }));
    // The greeting is only logged; a shorter pause after it saves time.
    m_settings.greetingPause = 100ms;
    m_settings.finishTimeout = 30000ms;

    // Whatever a run starts joins this job too, and is counted there.
    m_job = CreateJobObjectW(nullptr, nullptr);
    QVERIFY(m_job && AssignProcessToJobObject(m_job, GetCurrentProcess()));
}

void CmdShellTest::cleanupTestCase()
{
    ShellSettings::setCurrent(ShellSettings::platformDefaults());
    if (m_job)
        CloseHandle(m_job);
}

DWORD CmdShellTest::processesStarted() const
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    QueryInformationJobObject(
            m_job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting, nullptr);
    return accounting.TotalProcesses;
}

QStringList CmdShellTest::run(const QString &port, const QString &file, const QString &shellFolder,
        bool planted, MasterThread *worker)
{
    const QString oldDir = QDir::currentPath();
    QTemporaryDir base;
    const QDir baseDir(base.path());
    if (!shellFolder.isEmpty()) {
        baseDir.mkdir(shellFolder);
        ShellSettings settings = ShellSettings::current();
        settings.workingDirectory = baseDir.filePath(shellFolder);
        ShellSettings::setCurrent(settings);
    }
    if (planted) {
        plantPrograms(baseDir.filePath("planted"));
        QDir::setCurrent(baseDir.filePath("planted"));
    }
    MasterThread ownWorker;
    if (!worker)
        worker = &ownWorker;
    SignalRecorder recorder(worker);
    worker->transaction(port, file);
    const bool ended = QTest::qWaitFor([&] { return recorder.events.size() == 5; }, 60000);
    QDir::setCurrent(oldDir);
    return ended ? recorder.events : QStringList { "the run did not end" } + recorder.events;
}

void CmdShellTest::codePagesAsTheSystemReportsThem()
{
    QCOMPARE(ansiCodePage(), GetACP());
    // A new prefix has no console settings: the console starts in the OEM
    // code page.
    QCOMPARE(cmdConsoleCodePage(), GetOEMCP());

    setConsoleCodePage(consoleKey, 850);
    QCOMPARE(cmdConsoleCodePage(), 850u);
    // The settings for cmd.exe come before the user's general ones.
    setConsoleCodePage(cmdConsoleKey, 1252);
    QCOMPARE(cmdConsoleCodePage(), 1252u);
    // A code page the system does not know is no setting.
    setConsoleCodePage(cmdConsoleKey, 12345);
    QCOMPARE(cmdConsoleCodePage(), 850u);

    setConsoleCodePage(cmdConsoleKey, 0);
    setConsoleCodePage(consoleKey, 0);
    QCOMPARE(cmdConsoleCodePage(), GetOEMCP());
}

void CmdShellTest::codePagesThatTakeNoFlags_data()
{
    QTest::addColumn<uint>("codePage");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("exact");

    // Neither takes the flags that report a missing character; of the other
    // such code pages, GB18030 and ISO-2022 among them, Wine has none.
    QTest::newRow("UTF-7 holds Japanese")
            << 65000u << QStringLiteral("C:\\fw\\\u65e5\u672c.bin") << true;
    QTest::newRow("symbol holds no letters") << 42u << QStringLiteral("C:\\fw.bin") << false;
}

void CmdShellTest::codePagesThatTakeNoFlags()
{
    QFETCH(uint, codePage);
    QFETCH(QString, text);
    QFETCH(bool, exact);

    const std::optional<QByteArray> encoded = encodeInCodePage(text, codePage);
    QCOMPARE(encoded.has_value(), exact);
    if (exact) {
        std::wstring decoded(size_t(text.size()) * 2, L'\0');
        decoded.resize(size_t(MultiByteToWideChar(codePage, 0, encoded->constData(),
                encoded->size(), decoded.data(), int(decoded.size()))));
        QCOMPARE(QString::fromStdWString(decoded), text);
        // What the programmer lacks is then named, not the path's first letter.
        const FlashCommand command = composeFlashCommand(
                text, QStringLiteral("COM3"), ShellKind::Cmd, CodePages { codePage, 1252 });
        QCOMPARE(command.refusal.character, QStringLiteral("\u65e5"));
        QVERIFY2(command.refusal.technical.contains(QStringLiteral("code page 1252")),
                qPrintable(command.refusal.technical));
    }
}

void CmdShellTest::pathAndPort_data()
{
    QTest::addColumn<int>("form");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("port");
    // Empty: the programmer must receive exactly the file and port.
    QTest::addColumn<QString>("refusal");

    const auto row = [](const char *name, const QString &file, const QString &port,
                             const QString &refusal) {
        newRowForEach(name, [&](QTestData &data) { data << file << port << refusal; });
    };
    row("plain path", "fw\\kestrix.bin", "COM3", QString());
    row("spaces", "Firmware Files\\new fw 1.bin", "COM3", QString());
    row("& ^ ( ) ! ;", "fw\\a&b^c(d)e!f;g.bin", "COM3", QString());
    row("forward slashes, as the chooser gives them", "Jos\u00e9 fw/fw 1.bin", "COM3", QString());
    row("e acute and u umlaut, in both code pages",
            QStringLiteral("Users\\Jos\u00e9\\Downloads\\f\u00fcr.bin"), "COM3", QString());
    row("port with a space", "fw\\kestrix.bin", "COM 3", QString());
    row("characters the console's code page lacks", QStringLiteral("fw\\\u65e5\u672c.bin"), "COM3",
            "code page 437");
    // A plain main() would be handed fw\fw-O.bin, another file.
    row("omega, which the ANSI code page lacks", QStringLiteral("fw\\fw-\u03a9.bin"), "COM3",
            "code page 1252");
    row("%PATH%", "fw\\%PATH%.bin", "COM3", "percent sign");
    row("double quote", "fw\\a\" & echo Done. & \".bin", "COM3", "double quote");
}

void CmdShellTest::pathAndPort()
{
    QFETCH(int, form);
    QFETCH(QString, file);
    QFETCH(QString, port);
    QFETCH(QString, refusal);

    FakeProgrammer fake { Arguments(form) };
    file = image(file);
    LogCapture log;
    const DWORD before = processesStarted();
    const QStringList events = run(port, file);
    const DWORD started = processesStarted() - before;
    const QStringList messages = log.messages();

    if (refusal.isEmpty()) {
        // The programmer first: the verdict follows from what it did.
        QCOMPARE(fake.calls(), QList<QList<QByteArray>> { expectedArguments(file, port) });
        QCOMPARE(events, successEvents);
        QVERIFY(started > 0);
    } else {
        QCOMPARE(events, failureEvents);
        QVERIFY(fake.calls().isEmpty());
        QCOMPARE(started, DWORD(0));
        const QStringList reasons = messages.filter(QStringLiteral("Refusing to run"));
        QCOMPARE(reasons.size(), 1);
        QVERIFY2(reasons.first().contains(refusal), qPrintable(reasons.first()));
        QVERIFY(messages.filter(QStringLiteral("stmflshr -b")).isEmpty());
    }
}

void CmdShellTest::outcome_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<bool>("programmerPresent");
    QTest::addColumn<QString>("shellFolder");
    QTest::addColumn<bool>("planted");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("success");
    // What the failure box says, when the run fails.
    QTest::addColumn<QString>("advice");

    const QString file = QStringLiteral("fw\\kestrix.bin");
    const QByteArray failed("Error: no answer from the device\n");
    QTest::newRow("programmer prints Done.") << QByteArray("Erasing\nWriting\nDone.\n") << true
                                             << QString() << false << file << true << QString();
    QTest::newRow("programmer prints no Done.")
            << failed << true << QString() << false << file << false << "did not report success";
    // Its error on standard error, shown under the box's details.
    QTest::newRow("programmer writes its error to standard error")
            << QByteArray("Writing 25%\r\n") << true << QString() << false << file << false
            << "Error output:\nFailed to init device";
    QTest::newRow("programmer crashes") << QByteArray("Writing 25%\r\n") << true << QString()
                                        << false << file << false << "Output:\nWriting 25%";
    QTest::newRow("no programmer at all") << QByteArray() << false << QString() << false << file
                                          << false << "stmflshr.exe was not found";
    // cmd.exe's default prompt names its folder, and prints "?" for what its
    // code page lacks: no rule could tell such a prompt from the output.
    QTest::newRow("shell in a folder named Done.dir, no programmer")
            << QByteArray() << false << "Done.dir" << false << file << false
            << "the flash programmer is neither in";
    QTest::newRow("shell in a folder named \u65e5\u672cDone.d, programmer prints no Done.")
            << failed << true << QStringLiteral("\u65e5\u672cDone.d") << false << file << false
            << "did not report success";
    QTest::newRow("shell in a folder named Done.dir, programmer prints Done.")
            << QByteArray("Done.\n") << true << "Done.dir" << false << file << true << QString();
    // The chooser's path has forward slashes; the programmer prints it back
    // with Windows' own.
    QTest::newRow("file in a folder named Done. fw, programmer prints its path and fails")
            << QByteArray("Cannot open {file}\n") << true << QString() << false << "Done. fw/fw.bin"
            << false << "did not report success";
    // Started from a folder holding cmd.exe, stmflshr.com and stmflshr.bat:
    // the system's shell runs, and it finds the programmer on PATH.
    QTest::newRow("planted programs in the current folder, programmer prints Done.")
            << QByteArray("Done.\n") << true << QString() << true << file << true << QString();
    QTest::newRow("planted programs in the current folder, programmer prints no Done.")
            << failed << true << QString() << true << file << false << "did not report success";
}

void CmdShellTest::outcome()
{
    QFETCH(QByteArray, output);
    QFETCH(bool, programmerPresent);
    QFETCH(QString, shellFolder);
    QFETCH(bool, planted);
    QFETCH(QString, file);
    QFETCH(bool, success);
    QFETCH(QString, advice);

    FakeProgrammer fake;
    fake.setOutput(output);
    const QByteArray tag = QTest::currentDataTag();
    if (tag.contains("standard error"))
        fake.setErrorOutput("Failed to init device\r\n");
    fake.setCrash(tag.contains("crashes"));
    if (!programmerPresent)
        fake.removeFromPath();
    file = image(file);
    const DWORD before = processesStarted();
    LogCapture log;
    MasterThread worker;
    const QStringList events = run(QStringLiteral("COM3"), file, shellFolder, planted, &worker);
    // Only the programmer on PATH ran, and ran once; checked first, as the
    // verdict follows from it.
    QCOMPARE(fake.calls(),
            programmerPresent ? QList<QList<QByteArray>> { expectedArguments(file, "COM3") }
                              : QList<QList<QByteArray>>());
    QCOMPARE(fake.ranFromItsFolder(), programmerPresent);
    QCOMPARE(events, success ? successEvents : failureEvents);
    // Only a run that was refused starts nothing.
    const bool refused = !programmerPresent;
    QCOMPARE(processesStarted() > before, !refused);
    const RunWords report = describeRun(worker.lastCause());
    const QString words = report.informative + QLatin1Char('\n') + report.details;
    QVERIFY2(words.contains(advice), qPrintable(words));
    QCOMPARE(log.messages().filter(QStringLiteral("Refusing to run")).size(), refused ? 1 : 0);
    if (tag.contains("standard error"))
        QVERIFY(log.messages().filter(QStringLiteral("Failed to init device")).size() == 1);
}

void CmdShellTest::programmerPastTheLastWaitIsGoneBeforeTheVerdict_data()
{
    QTest::addColumn<bool>("breakAway");
    // As on Windows 8 and later; and as a job that lets its processes go,
    // which Windows 7 puts a program without a manifest in, must be left.
    QTest::newRow("updater's job inside the one it runs in") << false;
    QTest::newRow("shell outside the job the updater runs in") << true;
}

void CmdShellTest::programmerPastTheLastWaitIsGoneBeforeTheVerdict()
{
    QFETCH(bool, breakAway);
    letJobsProcessesBreakAway(m_job, breakAway);
    const auto jobAsBefore = qScopeGuard([this] { letJobsProcessesBreakAway(m_job, false); });
    const DWORD before = processesStarted();

    FakeProgrammer fake;
    fake.setOutput("Erasing 40 pages ... Done.\nWriting\n");
    fake.setSleepAfterOutputMs(60000);
    ShellSettings settings = ShellSettings::current();
    settings.finishTimeout = 3000ms;
    ShellSettings::setCurrent(settings);

    MasterThread worker;
    SignalRecorder recorder(&worker);
    // Runs in the worker's thread as the run reports the end of the wait,
    // before the verdict is sent.
    bool programmerGone = false;
    bool shellGone = false;
    connect(
            &worker, &MasterThread::stopgif, &worker,
            [&] {
                programmerGone = fake.pid() > 0 && isGone(fake.pid());
                shellGone = fake.parentPid() > 0 && isGone(fake.parentPid());
            },
            Qt::DirectConnection);
    QElapsedTimer timer;
    timer.start();
    worker.transaction(QStringLiteral("COM3"), image(QStringLiteral("fw\\kestrix.bin")));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events, failureEvents, 30000);
    QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(programmerGone);
    QVERIFY(shellGone);
    QCOMPARE(int(worker.lastCause().cause), int(Cause::CutOff));
    // Neither the shell nor what it started joined the job the test runs in.
    QCOMPARE(processesStarted() == before, breakAway);
}

KESTRIX_TEST_MAIN(CmdShellTest, QCoreApplication)
#include "tst_cmdshell.moc"
