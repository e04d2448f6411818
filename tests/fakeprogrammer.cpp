// Takes the flash programmer's place in tests. Environment variables say what
// it does: record its arguments, wait until a file exists, sleep, print a
// text and an error, sleep again or crash, tell its process id, its
// parent's and the file it runs from.
// Built for Windows, it takes its arguments in one of the two ways Windows
// programs do: the wide command line, split by the system, or, built with
// FAKE_PROGRAMMER_NARROW, the argv of a plain main(), which Windows makes in
// the ANSI code page. Either way it records them as UTF-8.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>
#else
#include <chrono>
#include <csignal>
#include <thread>
#include <unistd.h>
#endif

namespace {
#ifdef _WIN32
std::string toUtf8(const wchar_t *text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], size, nullptr, nullptr);
    return utf8;
}

std::vector<std::string> arguments([[maybe_unused]] int argc, [[maybe_unused]] char **argv)
{
    std::vector<std::string> args;
#ifdef FAKE_PROGRAMMER_NARROW
    for (int i = 1; i < argc; ++i) {
        const int size = MultiByteToWideChar(CP_ACP, 0, argv[i], -1, nullptr, 0);
        std::wstring wide(size > 0 ? size : 1, L'\0');
        MultiByteToWideChar(CP_ACP, 0, argv[i], -1, &wide[0], size);
        args.push_back(toUtf8(wide.c_str()));
    }
#else
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; i < count; ++i)
        args.push_back(toUtf8(wide[i]));
    LocalFree(wide);
#endif
    return args;
}

unsigned long processId()
{
    return GetCurrentProcessId();
}

unsigned long parentProcessId()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    unsigned long parent = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !parent;
            more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId())
            parent = entry.th32ParentProcessID;
    }
    CloseHandle(snapshot);
    return parent;
}

std::string executable()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return toUtf8(path);
}

void sleepMs(int msecs)
{
    Sleep(msecs);
}

// As an access violation ends a program, without the dialog a crash
// handler would show.
void crash()
{
    TerminateProcess(GetCurrentProcess(), 0xC0000005);
}
#else
std::vector<std::string> arguments(int argc, char **argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

unsigned long processId()
{
    return getpid();
}

unsigned long parentProcessId()
{
    return getppid();
}

std::string executable()
{
    char path[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return std::string(path, length > 0 ? size_t(length) : 0);
}

void sleepMs(int msecs)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(msecs));
}

void crash()
{
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
}
#endif
} // namespace

int main(int argc, char *argv[])
{
    const std::vector<std::string> args = arguments(argc, argv);
    if (const char *pidFile = std::getenv("FAKE_PROGRAMMER_PIDFILE"))
        std::ofstream(pidFile) << processId() << '\n'
                               << parentProcessId() << '\n'
                               << executable() << '\n';
    if (const char *record = std::getenv("FAKE_PROGRAMMER_RECORD")) {
        // One record per call, arguments ended by NUL, calls by a line feed.
        std::ofstream out(record, std::ios::app | std::ios::binary);
        for (const std::string &arg : args)
            out << arg << '\0';
        out << '\n';
    }
    // Held mid-run until the test lets it go, however slow the machine.
    if (const char *hold = std::getenv("FAKE_PROGRAMMER_HOLD")) {
        while (!std::ifstream(hold))
            sleepMs(10);
    }
    if (const char *sleep = std::getenv("FAKE_PROGRAMMER_SLEEP_MS"))
        sleepMs(std::atoi(sleep));
    if (const char *output = std::getenv("FAKE_PROGRAMMER_OUTPUT")) {
        // "{file}" stands for the file it was given, printed back with
        // Windows' separators as a Windows program tidies a path.
        std::string text = output;
        std::string file = args.size() > 5 ? args[5] : std::string();
        for (char &c : file) {
            if (c == '/')
                c = '\\';
        }
        for (size_t at = text.find("{file}"); at != std::string::npos; at = text.find("{file}"))
            text.replace(at, 6, file);
        std::fputs(text.c_str(), stdout);
    }
    if (const char *error = std::getenv("FAKE_PROGRAMMER_ERROR"))
        std::fputs(error, stderr);
    // A programmer that reports progress and goes on writing: what it printed
    // must reach the updater while it still runs.
    std::fflush(stdout);
    std::fflush(stderr);
    if (std::getenv("FAKE_PROGRAMMER_CRASH"))
        crash();
    if (const char *sleep = std::getenv("FAKE_PROGRAMMER_SLEEP_AFTER_MS"))
        sleepMs(std::atoi(sleep));
    return 0;
}
