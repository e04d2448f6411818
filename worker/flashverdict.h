#ifndef FLASHVERDICT_H
#define FLASHVERDICT_H

#include "flashcommand.h"

#include <QByteArray>

// Whether the shell's output after the command was written tells of a
// programmed device. Only "Done." counts, and not where it is merely part of
// the shell echoing the command line, or of a copy of the file's path.
bool flashSucceeded(const QByteArray &resultBlock, const FlashCommand &command);

#endif // FLASHVERDICT_H
