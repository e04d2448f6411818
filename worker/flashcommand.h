#ifndef FLASHCOMMAND_H
#define FLASHCOMMAND_H

#include "codepage.h"
#include "runcause.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The command interpreter that runs the flash programmer: cmd.exe on Windows,
// /bin/sh elsewhere. Both read one line from standard input, run it and end
// once their input is closed.
enum class ShellKind { Posix, Cmd };

ShellKind nativeShellKind();
// /bin/sh is started so that it greets, as cmd.exe does: the run's pause for
// the greeting then ends when the greeting comes, not when its wait runs out.
// cmd.exe is started so that the registry cannot change how it reads the
// line (no AutoRun commands, no delayed expansion of !name!), and with a
// prompt of ">" alone: by default its prompt names its folder, whose name
// could hold "Done.". It takes the prompt from its command line, not from
// the environment, which Wine's cmd.exe overrides.
QStringList shellArguments(ShellKind shell);

// The code pages a path or port passes through on its way to the programmer:
// the one the shell reads its line in, and the one the programmer reads its
// arguments in. Both are UTF-8 on POSIX. For cmd.exe, the console's code
// page, and the ANSI code page, in which a programmer with a plain main()
// gets its arguments from the system.
struct CodePages
{
    unsigned shell = utf8CodePage;
    unsigned programmer = utf8CodePage;
};

CodePages shellCodePages(ShellKind shell);

// The port as the programmer must be given it. On POSIX a port is a device
// file, listed by name ("ttyUSB0") but opened by path ("/dev/ttyUSB0").
QString programmerPort(const QString &portName, ShellKind shell);

// The one line written to the shell. When a value cannot be passed through
// the shell without being interpreted, line stays empty and refusal says why.
struct FlashCommand
{
    // As the shell reads it, in the shell's code page.
    QByteArray line;
    // The same line as text, for the log.
    QString text;
    // The firmware file's path in each form the programmer may print it back
    // in: in UTF-8, in the shell's and the programmer's code pages, and for
    // cmd.exe also with the other kind of separator.
    QList<QByteArray> pathCopies;
    RunCause refusal;

    bool isValid() const { return refusal.isNull(); }
};

FlashCommand composeFlashCommand(const QString &firmwareFile, const QString &programmerPort,
        ShellKind shell, const CodePages &codePages);

#endif // FLASHCOMMAND_H
