// Takes the flash programmer's place in tests. Environment variables say what
// it does: record its arguments, sleep, print a text, sleep again, tell its
// process id.
// Built for Windows too, where it takes its arguments as Windows programs do:
// the wide command line, split by the system.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#else
#include <chrono>
#include <thread>
#include <unistd.h>
#endif

namespace {
#ifdef _WIN32
std::vector<std::string> arguments(int, char **)
{
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size > 0 ? size - 1 : 0, '\0');
        if (size > 1)
            WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &arg[0], size, nullptr, nullptr);
        args.push_back(arg);
    }
    LocalFree(wide);
    return args;
}

unsigned long processId()
{
    return GetCurrentProcessId();
}

void sleepMs(int msecs)
{
    Sleep(msecs);
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

void sleepMs(int msecs)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(msecs));
}
#endif
} // namespace

int main(int argc, char *argv[])
{
    if (const char *pidFile = std::getenv("FAKE_PROGRAMMER_PIDFILE"))
        std::ofstream(pidFile) << processId() << '\n';
    if (const char *record = std::getenv("FAKE_PROGRAMMER_RECORD")) {
        // One record per call, arguments ended by NUL, calls by a line feed.
        std::ofstream out(record, std::ios::app | std::ios::binary);
        for (const std::string &arg : arguments(argc, argv))
            out << arg << '\0';
        out << '\n';
    }
    if (const char *sleep = std::getenv("FAKE_PROGRAMMER_SLEEP_MS"))
        sleepMs(std::atoi(sleep));
    if (const char *output = std::getenv("FAKE_PROGRAMMER_OUTPUT"))
        std::fputs(output, stdout);
    // A programmer that reports progress and goes on writing: what it printed
    // must reach the updater while it still runs.
    std::fflush(stdout);
    if (const char *sleep = std::getenv("FAKE_PROGRAMMER_SLEEP_AFTER_MS"))
        sleepMs(std::atoi(sleep));
    return 0;
}
