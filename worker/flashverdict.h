#ifndef FLASHVERDICT_H
#define FLASHVERDICT_H

#include "flashcommand.h"

#include <QByteArray>

// Whether the shell's output after the command was written tells of a
// programmed device. Only "Done." counts, and not where it is merely part of
// the shell echoing the command line, or of a copy of the file's path.
bool flashSucceeded(const QByteArray &resultBlock, const FlashCommand &command);

// What the programmer printed: the result block without what cmd.exe adds
// of its own, its prompt (">") and its echo of the command line.
QByteArray programmerOutput(
        const QByteArray &resultBlock, const FlashCommand &command, ShellKind shell);

#endif // FLASHVERDICT_H
