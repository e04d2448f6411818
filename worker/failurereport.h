#ifndef FAILUREREPORT_H
#define FAILUREREPORT_H

#include "codepage.h"
#include "flashcommand.h"

#include <QByteArray>
#include <QString>

#include <chrono>

// What a run that did not succeed saw, as far as it knows it for sure.
struct FailedRun
{
    // Why the updater would not start the programmer, if it would not.
    Refusal refusal;
    // Why the shell could not be started, if it could not.
    QString shellStartError;
    // The programmer was still running when the last wait ran out.
    bool cutOff = false;
    std::chrono::milliseconds finishTimeout { 0 };
    // What the shell and the programmer wrote after the command, in the
    // code page the shell writes in.
    QByteArray output;
    QByteArray errors;
    unsigned codePage = utf8CodePage;
};

// The words of the failure box: what happened and what to do, and what the
// programmer printed, for "Show Details...".
struct FailureReport
{
    QString advice;
    QString details;
};

FailureReport describeFailure(const FailedRun &run);

#endif // FAILUREREPORT_H
