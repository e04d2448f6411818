// The updater's Windows-only units, run as a Windows program: the job that
// ends what a run started, and the code page the line is written in.
// usage: tst_windows.exe   (fakeprogrammer-windows.exe beside it)
#include "windowscodepage.h"
#include "windowsjob.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {
int failures = 0;

void check(bool ok, const char *what, int line)
{
    std::printf("%s: %s (line %d)\n", ok ? "PASS" : "FAIL", what, line);
    if (!ok)
        ++failures;
}
#define CHECK(condition) check((condition), #condition, __LINE__)

std::wstring besideThisProgram(const wchar_t *name)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, length);
    return dir.substr(0, dir.find_last_of(L'\\') + 1) + name;
}

bool isRunning(HANDLE process)
{
    return WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

bool endsWithin(HANDLE process, DWORD msecs)
{
    return WaitForSingleObject(process, msecs) == WAIT_OBJECT_0;
}

// cmd.exe, reading its commands from a pipe as the updater's shell does,
// running the fake programmer told to sleep for a minute.
struct ShellWithSleeper
{
    PROCESS_INFORMATION shell = {};
    HANDLE sleeper = nullptr;

    bool start(WindowsJob *job)
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        wchar_t pidFile[MAX_PATH];
        GetTempFileNameW(temp, L"slp", 0, pidFile);
        DeleteFileW(pidFile);
        SetEnvironmentVariableW(L"FAKE_PROGRAMMER_PIDFILE", pidFile);
        SetEnvironmentVariableW(L"FAKE_PROGRAMMER_SLEEP_MS", L"60000");

        SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
        HANDLE readEnd = nullptr;
        HANDLE writeEnd = nullptr;
        CreatePipe(&readEnd, &writeEnd, &inherit, 0);
        SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
        HANDLE nul = CreateFileW(
                L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);

        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = readEnd;
        startup.hStdOutput = nul;
        startup.hStdError = nul;
        wchar_t commandLine[] = L"cmd.exe";
        const BOOL started = CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE,
                CREATE_NO_WINDOW, nullptr, nullptr, &startup, &shell);
        CloseHandle(readEnd);
        CloseHandle(nul);
        if (!started)
            return false;
        // As in a run: the shell joins the job before it is given the command.
        if (job && !job->assign(shell.dwProcessId))
            return false;

        const std::wstring line =
                L"\"" + besideThisProgram(L"fakeprogrammer-windows.exe") + L"\"\r\n";
        std::string bytes(line.begin(), line.end());
        DWORD written = 0;
        WriteFile(writeEnd, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        CloseHandle(writeEnd);

        for (int i = 0; i < 1000 && !sleeper; ++i) {
            Sleep(10);
            FILE *file = _wfopen(pidFile, L"r");
            unsigned long pid = 0;
            if (file && std::fscanf(file, "%lu", &pid) == 1)
                sleeper = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
            if (file)
                std::fclose(file);
        }
        DeleteFileW(pidFile);
        return sleeper != nullptr;
    }

    ~ShellWithSleeper()
    {
        if (sleeper) {
            TerminateProcess(sleeper, 1);
            CloseHandle(sleeper);
        }
        if (shell.hProcess) {
            TerminateProcess(shell.hProcess, 1);
            CloseHandle(shell.hProcess);
            CloseHandle(shell.hThread);
        }
    }
};

void endingTheJobEndsWhatTheShellStarted()
{
    ShellWithSleeper run;
    {
        WindowsJob job;
        CHECK(job.isValid());
        CHECK(run.start(&job));
        if (!run.sleeper)
            return;
        CHECK(isRunning(run.sleeper));
    }
    CHECK(endsWithin(run.sleeper, 5000));
    CHECK(endsWithin(run.shell.hProcess, 5000));
}

void endingOnlyTheShellLeavesTheProgrammerRunning()
{
    // What the job is for: without it the programmer outlives its shell.
    ShellWithSleeper run;
    CHECK(run.start(nullptr));
    if (!run.sleeper)
        return;
    TerminateProcess(run.shell.hProcess, 1);
    CHECK(endsWithin(run.shell.hProcess, 5000));
    CHECK(!endsWithin(run.sleeper, 500));
}

void assigningAProcessThatIsGoneFails()
{
    PROCESS_INFORMATION gone = {};
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    wchar_t commandLine[] = L"cmd.exe /c exit";
    CHECK(CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
            nullptr, &startup, &gone));
    CHECK(endsWithin(gone.hProcess, 5000));
    CloseHandle(gone.hThread);
    CloseHandle(gone.hProcess);
    WindowsJob job;
    CHECK(!job.assign(gone.dwProcessId));
}

bool encodes(const wchar_t *text, unsigned codePage, const std::string &expected)
{
    std::string encoded = "unchanged";
    return encodeInWindowsCodePage(text, int(wcslen(text)), codePage, &encoded)
            && encoded == expected;
}

bool refuses(const wchar_t *text, unsigned codePage)
{
    std::string encoded;
    return !encodeInWindowsCodePage(text, int(wcslen(text)), codePage, &encoded);
}

void codePages()
{
    CHECK(encodes(L"C:\\fw\\new fw.bin", 437, "C:\\fw\\new fw.bin"));
    CHECK(encodes(L"C:\\Jos\u00e9\\gr\u00fc\u00df.bin", 437, "C:\\Jos\x82\\gr\x81\xe1.bin"));
    CHECK(encodes(L"", 437, ""));
    // A look-alike would name another file: a-macron is not a.
    CHECK(refuses(L"C:\\\u0101.bin", 437));
    CHECK(refuses(L"C:\\\u65e5\u672c.bin", 437));
    CHECK(encodes(L"C:\\\u65e5.bin", CP_UTF8, "C:\\\xe6\x97\xa5.bin"));
    CHECK(refuses(L"C:\\\xd800.bin", CP_UTF8));
}
} // namespace

int main()
{
    endingTheJobEndsWhatTheShellStarted();
    endingOnlyTheShellLeavesTheProgrammerRunning();
    assigningAProcessThatIsGoneFails();
    codePages();
    std::printf("%s: %d failed\n", failures ? "FAIL (windows)" : "PASS (windows)", failures);
    return failures ? 1 : 0;
}
