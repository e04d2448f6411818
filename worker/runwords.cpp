#include "runwords.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

namespace {
// Enough to show how the programmer got where it stopped; the debug log
// holds the rest.
constexpr int maximumLines = 25;
constexpr int maximumLineLength = 300;

QString tr(const char *text)
{
    return QCoreApplication::translate("RunWords", text);
}

// The text as a terminal leaves it on screen: a carriage return or a
// backspace moves back over the line and what follows overwrites it, so a
// progress line redrawn in place shows its last state.
QStringList terminalLines(const QString &text)
{
    QStringList lines;
    QString line;
    int column = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n')) {
            lines << line;
            line.clear();
            column = 0;
        } else if (c == QLatin1Char('\r')) {
            column = 0;
        } else if (c == QLatin1Char('\b')) {
            column = qMax(0, column - 1);
        } else if (c.category() != QChar::Other_Control || c == QLatin1Char('\t')) {
            if (column < line.size())
                line[column] = c;
            else
                line += c;
            ++column;
        }
    }
    lines << line;

    for (QString &each : lines) {
        int end = each.size();
        while (end > 0 && each.at(end - 1).isSpace())
            --end;
        each.truncate(end);
        if (each.size() > maximumLineLength)
            each = QChar(0x2026) + each.right(maximumLineLength - 1);
    }
    while (!lines.isEmpty() && lines.first().isEmpty())
        lines.removeFirst();
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// A caption and the stream's last lines, or nothing when it held no text.
QString section(const QString &caption, const QByteArray &bytes, unsigned codePage)
{
    QStringList lines = terminalLines(decodeFromCodePage(bytes, codePage));
    if (lines.isEmpty())
        return QString();
    if (lines.size() > maximumLines) {
        const int left = lines.size() - maximumLines;
        lines = lines.mid(left);
        lines.prepend(tr("(%1 earlier lines left out)").arg(left));
    }
    return caption + QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
}

QString duration(std::chrono::milliseconds wait)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait).count();
    if (seconds == 60)
        return tr("a minute");
    if (seconds > 0 && seconds % 60 == 0)
        return tr("%1 minutes").arg(seconds / 60);
    return tr("%1 seconds").arg(seconds);
}

// A character as the user would look for it in a name.
QString quotedCharacter(const QString &character)
{
    if (character == QLatin1String("\n") || character == QLatin1String("\r"))
        return tr("a line break");
    return QChar(0x201c) + character + QChar(0x201d);
}

// A command stands on a line of its own, as it is typed.
QString commandLine(const QString &command)
{
    return QStringLiteral("\n\n") + command + QStringLiteral("\n\n");
}

QString whatToDo(const RunCause &run)
{
    // What is wrong with the file, and the one thing to do about it.
    const auto chooseAgain = [](const QString &problem) {
        return problem + QLatin1Char(' ') + tr("Choose the firmware file from the Kestrix update.");
    };
    switch (run.cause) {
    case Cause::None:
        return QString();
    case Cause::Succeeded:
        return tr("%1 was written to the Kestrix on %2. Now disconnect it from the NMEA2000 "
                  "network, move its jumper back to \"Normal\", reassemble it and reconnect it.")
                .arg(QFileInfo(run.file).fileName(), run.port);
    case Cause::NoPort:
        return tr("No serial port was found when the updater started. Connect the Kestrix's "
                  "serial adapter, then close the updater and start it again.");
    case Cause::PortGone:
        return tr("The serial port %1 is no longer there. Plug its adapter in again and press "
                  "Start, or restart the updater to choose another port.")
                .arg(run.port);
    case Cause::PortForGroup:
        return tr("Only the group \"%1\" may use the serial port %2. Join it with "
                  "this command, then log out and in, and start the updater:")
                       .arg(run.group, run.port)
                + commandLine(QStringLiteral("sudo adduser $USER ") + run.group);
    case Cause::PortDenied:
        return tr("You may not use the serial port %1. Ask whoever looks after this computer "
                  "to let you use it.")
                .arg(run.port);
    case Cause::PortNameCharacter:
        return tr("The serial port's name has %1 in it, which the updater cannot pass on. "
                  "Choose another port.")
                .arg(quotedCharacter(run.character));
    case Cause::FileNameCharacter:
        return tr("The firmware file's name has %1 in it, which the updater cannot pass on. "
                  "Rename the file, or copy it under another name, and choose it again.")
                .arg(quotedCharacter(run.character));
    case Cause::FolderNameCharacter:
        return tr("A folder holding the firmware file has %1 in its name, which the updater "
                  "cannot pass on. Copy the file to another folder and choose it there.")
                .arg(quotedCharacter(run.character));
    case Cause::FileMissing:
        return tr("The chosen file is no longer where it was chosen. Choose it again where it is "
                  "now.");
    case Cause::FileNotAFile:
        return chooseAgain(tr("The chosen name is a folder or a device, not a file."));
    case Cause::FileUnreadable:
        return tr("The chosen file cannot be read: %1. Check that you may read it, then choose "
                  "it again.")
                .arg(run.reason);
    case Cause::FileEmpty:
        return chooseAgain(tr("The chosen file is empty."));
    case Cause::FileTooShort:
        return chooseAgain(
                tr("The chosen file is too short to be firmware: it may have been cut off while "
                   "it was copied."));
    case Cause::FileTooLarge:
        return chooseAgain(tr("The chosen file is larger than any Kestrix firmware."));
    case Cause::FileNotFirmware:
        return chooseAgain(tr("The chosen file is not firmware the Kestrix can start from."));
    case Cause::FileForElsewhere:
        return chooseAgain(
                tr("The chosen file is firmware for another place in the device's memory: the "
                   "Kestrix could not start from it."));
    case Cause::FileDamaged:
        return chooseAgain(
                tr("The chosen file is damaged: it may have been cut off or changed while it was "
                   "copied."));
    case Cause::ProgrammerNotOnPath:
        return tr("The flash programmer stmflshr was not found. In the Kestrix firmware's "
                  "folder, run this command, then press Start again:")
                + commandLine(QStringLiteral("sudo install -m 755 stmflshr /usr/local/bin/"));
    case Cause::ProgrammerNotInFolder:
        return tr("The flash programmer stmflshr.exe was not found. Put the one that comes with "
                  "the Kestrix firmware into this folder, then press Start again:")
                + commandLine(run.folder);
    case Cause::ProgrammerUncontrolled:
        return tr("The updater could not take control of the flash programmer, so it did not "
                  "start it. Press Start again; if this keeps happening, restart the computer.");
    case Cause::ProgrammerUncontrolledByStarter:
        return tr("The program that started the updater keeps it from controlling the flash "
                  "programmer, so it did not start it. Start the updater from the Start menu or "
                  "Explorer.");
    case Cause::ShellNotStarted:
        return tr("The updater could not start the system's command shell, so the flash "
                  "programmer did not run. Restart the computer and try again.");
    case Cause::CutOff:
        return tr("Writing took over %1 and was stopped. Check the connection, then press Start "
                  "again.")
                .arg(duration(run.wait));
    case Cause::NoSuccessReported:
        return tr("The programmer did not report success. Check the jumper, power and port, then "
                  "press Start again.");
    }
    return QString();
}

QString deviceState(const RunCause &run)
{
    if (run.cause == Cause::Succeeded)
        return QString();
    // Once the programmer has run, the device may hold anything from its old
    // firmware to the whole new one; its bootloader is never written.
    if (run.programmerRan())
        return tr("The device may hold part of the new firmware until a run with the jumper in "
                  "\"Flash\" succeeds.");
    return tr("The device was not changed.");
}
} // namespace

RunWords describeRun(const RunCause &run)
{
    if (run.isNull())
        return {};
    QString informative = whatToDo(run);
    const QString state = deviceState(run);
    if (!state.isEmpty()) {
        if (!informative.endsWith(QLatin1Char('\n')))
            informative += QLatin1Char(' ');
        informative += state;
    }

    QStringList details;
    if (!run.technical.isEmpty())
        details << run.technical;
    for (const QString &part : { section(tr("Output:"), run.output, run.codePage),
                 section(tr("Error output:"), run.errors, run.codePage) }) {
        if (!part.isEmpty())
            details << part;
    }
    return { informative, details.join(QStringLiteral("\n\n")) };
}
