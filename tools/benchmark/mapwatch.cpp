// Starts a program and reports how long it took until its window, found by
// title, was mapped, and the peak resident memory of the program.
// usage: mapwatch TITLE SETTLE_MS PROGRAM [ARGS...]
// prints: MAP_MS PEAK_RSS_KB
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
bool hasTitle(Display *display, Window window, const char *title)
{
    char *name = nullptr;
    if (!XFetchName(display, window, &name) || !name)
        return false;
    const bool same = std::strcmp(name, title) == 0;
    XFree(name);
    return same;
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: mapwatch TITLE SETTLE_MS PROGRAM [ARGS...]\n");
        return 2;
    }
    const char *title = argv[1];
    const int settleMs = std::atoi(argv[2]);
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "mapwatch: cannot open the display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[3], argv + 3);
        _exit(127);
    }

    double mapMs = -1;
    while (mapMs < 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && hasTitle(display, event.xmap.window, title)) {
            mapMs = std::chrono::duration<double, std::milli>(
                    std::chrono::steady_clock::now() - start)
                            .count();
        }
    }
    // Let it settle, so that the peak covers a window that has been painted.
    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    kill(child, SIGTERM);
    int status = 0;
    rusage usage {};
    wait4(child, &status, 0, &usage);
    std::printf("%.1f %ld\n", mapMs, usage.ru_maxrss);
    XCloseDisplay(display);
    return 0;
}
