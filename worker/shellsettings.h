#ifndef SHELLSETTINGS_H
#define SHELLSETTINGS_H

#include "flashcommand.h"

#include <QString>
#include <QStringList>

#include <chrono>

// Which shell a run starts, where, and how long it waits on it. Users cannot
// change any of this; tests shorten the waits so that a run past its limit
// takes seconds, point the shell elsewhere to see a start fail, and run it in
// folders of their own.
struct ShellSettings
{
    ShellKind kind;
    // By its full path: a bare name is looked up where the updater happens
    // to be started, before the system's own folder.
    QString program;
    QStringList arguments;
    // Where the shell runs, and so where cmd.exe looks for the programmer
    // first: the program's own folder, never the one the updater was started
    // in, which may hold anything (a download folder, a firmware bundle).
    QString workingDirectory;
    std::chrono::milliseconds startTimeout;
    std::chrono::milliseconds greetingTimeout;
    std::chrono::milliseconds greetingPause;
    std::chrono::milliseconds writeTimeout;
    std::chrono::milliseconds firstOutputTimeout;
    std::chrono::milliseconds finishTimeout;
    // How long a shell that outlived its run may take to end on a polite
    // request before it and all it started are killed.
    std::chrono::milliseconds endGraceTimeout;

    static ShellSettings platformDefaults();
    static const ShellSettings &current();
    static void setCurrent(const ShellSettings &settings);
};

#endif // SHELLSETTINGS_H
