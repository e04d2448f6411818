#ifndef PREFLIGHT_H
#define PREFLIGHT_H

#include "flashcommand.h"
#include "runcause.h"

#include <QString>
#include <QStringList>

#include <optional>

struct ShellSettings;

// What a run checks before it starts the shell: each check gives the cause
// it refuses the run for, or a null one. They leave the device untouched:
// the port is looked up, never opened.

// Where the shell looks for the programmer, in its order. /bin/sh searches
// PATH (its default when PATH is unset; an empty entry is the folder it
// runs in). cmd.exe searches the folder it runs in, then PATH, and in each
// folder tries the extensions of PATHEXT, in their order.
QStringList programmerCandidates(ShellKind shell, const QString &workingDirectory,
        const std::optional<QString> &path, const QString &pathExt);

// Whether the shell the settings name will find the programmer.
RunCause checkProgrammerFound(const ShellSettings &settings);

// Whether the user may open a port's device, as the system answers.
struct PortAccess
{
    bool denied = false;
    // Why not, in the system's words.
    QString error;
    // The group the device belongs to, and whether its members may use it.
    QString group;
    bool groupMayUse = false;
};

// Asks the system, never opening the device. Answers that it is not
// denied where the system has no such rule (Windows).
PortAccess portAccess(const QString &devicePath);
// Tests that run as root, whom the system lets open any device, give the
// answer instead.
using PortAccessProbe = PortAccess (*)(const QString &devicePath);
void setPortAccessProbe(PortAccessProbe probe);

// Whether the port was listed at start, is still there (among the ports
// present now, listed as the window's list was) and may be opened.
RunCause checkPort(
        const QString &portName, const QString &devicePath, const QStringList &portsPresent);

// Whether the file can be read, and could start the device.
RunCause checkFirmwareFile(const QString &path);

#endif // PREFLIGHT_H
