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

// What a screen reader says of a status: its headline, without the
// procedure it would otherwise read again at every change.
QString statusHeadline(const QString &status);

#endif // STATUSTEXTS_H
