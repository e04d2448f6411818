#ifndef RUNWORDS_H
#define RUNWORDS_H

#include "runcause.h"

#include <QString>

// The words of the box a run ends in. The informative text says what
// happened, what to do, and last what state the device is in; the details,
// behind "Show Details...", hold what only an engineer needs and what the
// programmer printed.
struct RunWords
{
    QString informative;
    QString details;
};

// The one place where a sentence the user reads about a run is written.
RunWords describeRun(const RunCause &cause);

#endif // RUNWORDS_H
