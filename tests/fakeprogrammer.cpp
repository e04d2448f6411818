// Takes the flash programmer's place in tests. Environment variables say what
// it does: record its arguments, print a text, sleep, tell its process id.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <unistd.h>

int main(int argc, char *argv[])
{
    if (const char *pidFile = std::getenv("FAKE_PROGRAMMER_PIDFILE")) {
        std::ofstream(pidFile) << getpid() << '\n';
    }
    if (const char *record = std::getenv("FAKE_PROGRAMMER_RECORD")) {
        // One record per call, arguments ended by NUL, calls by a line feed.
        std::ofstream out(record, std::ios::app | std::ios::binary);
        for (int i = 1; i < argc; ++i)
            out << argv[i] << '\0';
        out << '\n';
    }
    if (const char *sleepMs = std::getenv("FAKE_PROGRAMMER_SLEEP_MS"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(sleepMs)));
    if (const char *output = std::getenv("FAKE_PROGRAMMER_OUTPUT"))
        std::fputs(output, stdout);
    return 0;
}
