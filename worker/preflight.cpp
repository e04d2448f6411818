#include "preflight.h"

#include "firmwareimage.h"
#include "shellsettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString programmerName = QStringLiteral("stmflshr");
// What /bin/sh searches when PATH is not set, and the extensions cmd.exe
// tries when PATHEXT is not.
const QString posixDefaultPath =
        QStringLiteral("/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin");
const QString cmdDefaultPathExt = QStringLiteral(".COM;.EXE;.BAT;.CMD");

PortAccessProbe portAccessProbe = nullptr;

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

RunCause checkProgrammerFound(const ShellSettings &settings)
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
    RunCause refusal;
    if (settings.kind == ShellKind::Cmd) {
        refusal.cause = Cause::ProgrammerNotInFolder;
        refusal.folder = QDir::toNativeSeparators(settings.workingDirectory);
        refusal.technical = QStringLiteral("Refusing to run: the flash programmer is neither in "
                                           "%1 nor on PATH (%2)")
                                    .arg(refusal.folder, path.value_or(QString()));
    } else {
        refusal.cause = Cause::ProgrammerNotOnPath;
        refusal.technical =
                QStringLiteral("Refusing to run: the flash programmer is not on PATH (%1)")
                        .arg(path.value_or(posixDefaultPath));
    }
    return refusal;
}

void setPortAccessProbe(PortAccessProbe probe)
{
    portAccessProbe = probe;
}

RunCause checkPort(
        const QString &portName, const QString &devicePath, const QStringList &portsPresent)
{
    RunCause refusal;
    refusal.port = portName;
    // The list is empty only when no port was found as the window was made.
    if (portName.isEmpty()) {
        refusal.cause = Cause::NoPort;
        refusal.technical = QStringLiteral("Refusing to run: no serial port was found when the "
                                           "updater started");
        return refusal;
    }
    if (!portsPresent.contains(portName)) {
        refusal.cause = Cause::PortGone;
        refusal.technical = QStringLiteral("Refusing to run: the serial port %1 is no longer there")
                                    .arg(portName);
        return refusal;
    }
    const PortAccess access =
            portAccessProbe ? portAccessProbe(devicePath) : portAccess(devicePath);
    if (!access.denied)
        return {};
    const bool forGroup = access.groupMayUse && !access.group.isEmpty();
    refusal.cause = forGroup ? Cause::PortForGroup : Cause::PortDenied;
    refusal.group = access.group;
    refusal.reason = access.error;
    refusal.technical = QStringLiteral("Refusing to run: the serial port's device %1 cannot be "
                                       "opened for reading and writing: %2")
                                .arg(devicePath, access.error);
    return refusal;
}

// Reads the file once, before anything runs, and closes it again: the
// programmer writes whatever it is given and says "Done.", and a file that
// cannot start the device leaves it without firmware.
RunCause checkFirmwareFile(const QString &path)
{
    RunCause refusal;
    refusal.file = path;
    const auto refuse = [&](Cause cause, const QString &reason) {
        refusal.cause = cause;
        refusal.reason = reason;
        refusal.technical =
                QStringLiteral("Refusing to run: the firmware file %1 cannot be read: %2")
                        .arg(path, reason);
        return refusal;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return refuse(Cause::FileMissing, QStringLiteral("it is not there"));
    // Opening a pipe or a device for reading could wait for ever.
    if (!info.isFile())
        return refuse(Cause::FileNotAFile, QStringLiteral("it is not a file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(Cause::FileUnreadable, file.errorString());
    qint64 size = file.size();
    // A file too large to be firmware is never read whole.
    QByteArray bytes;
    if (size <= maximumFirmwareSize) {
        bytes = file.read(maximumFirmwareSize + 1);
        if (file.error() != QFileDevice::NoError)
            return refuse(Cause::FileUnreadable, file.errorString());
        size = bytes.size();
    }
    return firmwareImageRefusal(path, checkFirmwareImage(bytes, size));
}
