#ifndef RUNCAUSE_H
#define RUNCAUSE_H

#include "codepage.h"

#include <QByteArray>
#include <QString>

#include <chrono>

// How a run ended, or why it would not start: each a thing the user is told
// in words of its own.
enum class Cause {
    None,
    Succeeded,
    // Found before the programmer would run; it then never starts.
    NoPort,
    PortGone,
    PortForGroup,
    PortDenied,
    PortNameCharacter,
    FolderNameCharacter,
    FileNameCharacter,
    FileMissing,
    FileNotAFile,
    FileUnreadable,
    FileEmpty,
    FileTooShort,
    FileTooLarge,
    FileNotFirmware,
    FileForElsewhere,
    FileDamaged,
    ProgrammerNotOnPath,
    ProgrammerNotInFolder,
    ProgrammerUncontrolled,
    ProgrammerUncontrolledByStarter,
    ShellNotStarted,
    // Once the programmer has run.
    CutOff,
    NoSuccessReported,
};

// A cause with the facts its words need. The checks and the run find them;
// only runwords.cpp puts them into sentences.
struct RunCause
{
    Cause cause = Cause::None;
    // What only an engineer needs, in one line: the check that failed, the
    // code page, the address, the line of a HEX file. It is what the debug
    // log says of a refusal.
    QString technical;
    QString file;
    QString port;
    // The group that may use the port.
    QString group;
    // The character the shell or the programmer cannot be handed.
    QString character;
    // The folder the programmer was looked for in, as cmd.exe names it.
    QString folder;
    // The system's own words for what went wrong.
    QString reason;
    // How long the run waited for the programmer to end.
    std::chrono::milliseconds wait { 0 };
    // What the shell and the programmer wrote after the command, in the
    // code page the shell writes in.
    QByteArray output;
    QByteArray errors;
    unsigned codePage = utf8CodePage;

    bool isNull() const { return cause == Cause::None; }
    bool programmerRan() const
    {
        return cause == Cause::Succeeded || cause == Cause::CutOff
                || cause == Cause::NoSuccessReported;
    }
};

#endif // RUNCAUSE_H
