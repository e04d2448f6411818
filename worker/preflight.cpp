#include "preflight.h"

#include "shellsettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
const QString programmerName = QStringLiteral("stmflshr");
// What /bin/sh searches when PATH is not set, and the extensions cmd.exe
// tries when PATHEXT is not.
const QString posixDefaultPath =
        QStringLiteral("/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin");
const QString cmdDefaultPathExt = QStringLiteral(".COM;.EXE;.BAT;.CMD");

PortAccessProbe portAccessProbe = nullptr;

QString tr(const char *text)
{
    return QCoreApplication::translate("Preflight", text);
}

// A folder as cmd.exe names it; the rules are Windows' wherever they are
// worked out.
QString cmdFolder(QString folder, const QString &workingDirectory)
{
    folder.replace(QLatin1Char('/'), QLatin1Char('\\'));
    const bool absolute = folder.startsWith(QLatin1Char('\\'))
            || (folder.size() >= 2 && folder.at(1) == QLatin1Char(':'));
    if (!absolute)
        folder = cmdFolder(workingDirectory, QString()) + QLatin1Char('\\') + folder;
    while (folder.endsWith(QLatin1Char('\\')))
        folder.chop(1);
    return folder;
}
} // namespace

QStringList programmerCandidates(ShellKind shell, const QString &workingDirectory,
        const std::optional<QString> &path, const QString &pathExt)
{
    QStringList candidates;
    if (shell == ShellKind::Posix) {
        const QDir here(workingDirectory);
        const QStringList entries = path.value_or(posixDefaultPath).split(QLatin1Char(':'));
        for (const QString &entry : entries) {
            const QString folder = entry.isEmpty() ? workingDirectory : here.filePath(entry);
            candidates << QDir(folder).filePath(programmerName);
        }
        return candidates;
    }

    QStringList folders = { cmdFolder(workingDirectory, QString()) };
    const QStringList entries = path.value_or(QString()).split(QLatin1Char(';'));
    for (QString entry : entries) {
        // cmd.exe takes "C:\Program Files\x" as well as C:\Program Files\x.
        entry.remove(QLatin1Char('"'));
        if (!entry.trimmed().isEmpty())
            folders << cmdFolder(entry, workingDirectory);
    }
    QStringList extensions = pathExt.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (extensions.isEmpty())
        extensions = cmdDefaultPathExt.split(QLatin1Char(';'));
    for (const QString &folder : std::as_const(folders)) {
        for (const QString &extension : std::as_const(extensions))
            candidates << folder + QLatin1Char('\\') + programmerName + extension;
    }
    return candidates;
}

Refusal checkProgrammerFound(const ShellSettings &settings)
{
    const std::optional<QString> path = qEnvironmentVariableIsSet("PATH")
            ? std::optional<QString>(qEnvironmentVariable("PATH"))
            : std::nullopt;
    const QStringList candidates = programmerCandidates(
            settings.kind, settings.workingDirectory, path, qEnvironmentVariable("PATHEXT"));
    for (const QString &candidate : candidates) {
        const QFileInfo info(candidate);
        if (info.isFile() && (settings.kind == ShellKind::Cmd || info.isExecutable()))
            return {};
    }
    if (settings.kind == ShellKind::Cmd) {
        const QString folder = QDir::toNativeSeparators(settings.workingDirectory);
        return { QStringLiteral("Refusing to run: the flash programmer is neither in %1 nor on "
                                "PATH (%2)")
                         .arg(folder, path.value_or(QString())),
            tr("The flash programmer stmflshr.exe was not found: it is neither in the updater's "
               "folder (%1) nor in a folder on PATH. Put stmflshr.exe, which comes with the "
               "Kestrix firmware, into the updater's folder, then press Start again.")
                    .arg(folder) };
    }
    return { QStringLiteral("Refusing to run: the flash programmer is not on PATH (%1)")
                     .arg(path.value_or(posixDefaultPath)),
        tr("The flash programmer stmflshr was not found in any folder on PATH. Copy the "
           "stmflshr program that comes with the Kestrix firmware into one, for example with "
           "the command: sudo install -m 755 stmflshr /usr/local/bin/ and then press Start "
           "again.") };
}

void setPortAccessProbe(PortAccessProbe probe)
{
    portAccessProbe = probe;
}

Refusal checkPort(
        const QString &portName, const QString &devicePath, const QStringList &portsPresent)
{
    // The list is empty only when no port was found as the window was made.
    if (portName.isEmpty()) {
        return { QStringLiteral("Refusing to run: no serial port was found when the updater "
                                "started"),
            tr("No serial port was found when the updater started. Connect the Kestrix's "
               "serial adapter to the computer, then close the updater and start it again: it "
               "lists the ports only as it starts.") };
    }
    if (!portsPresent.contains(portName)) {
        return {
            QStringLiteral("Refusing to run: the serial port %1 is no longer there").arg(portName),
            tr("The serial port %1 is no longer there: its adapter may have been unplugged. "
               "Connect it again and press Start; if it comes back under another name, close "
               "the updater and start it again to choose that one.")
                    .arg(portName)
        };
    }
    const PortAccess access =
            portAccessProbe ? portAccessProbe(devicePath) : portAccess(devicePath);
    if (!access.denied)
        return {};
    const QString advice = access.groupMayUse && !access.group.isEmpty()
            ? tr("You may not use the serial port %1: its device %2 is for the members of the "
                 "group \"%3\", and you are not one. Join the group with the command: sudo "
                 "adduser $USER %3 then log out and in again, start the updater and press "
                 "Start.")
                      .arg(portName, devicePath, access.group)
            : tr("You may not use the serial port %1 (%2). Ask whoever looks after this "
                 "computer to let you use its device %3.")
                      .arg(portName, access.error, devicePath);
    return { QStringLiteral("Refusing to run: the serial port's device %1 cannot be opened for "
                            "reading and writing: %2")
                     .arg(devicePath, access.error),
        advice };
}
