#ifndef SHELLSETTINGS_H
#define SHELLSETTINGS_H

#include "flashcommand.h"

#include <QString>
#include <QStringList>

#include <chrono>

// Which shell a run starts and how long it waits on it. Users cannot change
// any of this; tests shorten the waits so that a run past its limit takes
// seconds, and point the shell elsewhere to see a start fail.
struct ShellSettings
{
    ShellKind kind;
    QString program;
    QStringList arguments;
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
