#ifndef STATUSTEXTS_H
#define STATUSTEXTS_H

#include <QString>

// Every status text is a headline, a blank line and the whole update procedure,
// so the instructions stay on screen whatever state the run is in.
extern const QString statusNotRunning;
extern const QString statusSelectFileFirst;
extern const QString statusProgrammingStarted;
extern const QString statusProgrammingSuccessful;
extern const QString statusProgrammingFailed;

#endif // STATUSTEXTS_H
