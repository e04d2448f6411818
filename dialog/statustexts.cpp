#include "statustexts.h"

// The trailing spaces on the headlines and on procedure lines 1, 3, 5 and 8
// are part of the texts, as is the missing line feed after the last line.
#define PROCEDURE_TEXT                                                                             \
    "Programming procedure: \n"                                                                    \
    "1) Disconnect Kestrix from NMEA2000 network\n"                                                \
    "2) Open Kestrix and move jumper to \"Flash\" position \n"                                     \
    "3) Reconnect Kestrix to the NMEA2000 network (the LEDs will not illuminate)\n"                \
    "4) Click the \"Browse\" button and choose the firmware update file \n"                        \
    "5) Press the \"Start\" button and wait for the programming to successfully finish\n"          \
    "6) Disconnect Kestrix from the NMEA2000 network and move jumper to \"Normal\" position\n"     \
    "7) Reassemble the Kestrix and reconnect it to the NMEA2000 network \n"                        \
    "8) Updating is complete"

const QString statusNotRunning = QStringLiteral("Status: Not running \n\n" PROCEDURE_TEXT);
const QString statusSelectFileFirst =
        QStringLiteral("Status: Please select the update file first! \n\n" PROCEDURE_TEXT);
const QString statusProgrammingStarted =
        QStringLiteral("Status: Programming started \n\n" PROCEDURE_TEXT);
const QString statusProgrammingSuccessful =
        QStringLiteral("Status: Programming SUCCESSFUL \n\n" PROCEDURE_TEXT);
const QString statusProgrammingFailed =
        QStringLiteral("Status: Programming FAILED!!! \n\n" PROCEDURE_TEXT);

QString statusHeadline(const QString &status)
{
    return status.section(QLatin1Char('\n'), 0, 0).trimmed();
}
