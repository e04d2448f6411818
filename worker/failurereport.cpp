#include "failurereport.h"

#include <QCoreApplication>
#include <QStringList>

namespace {
// Enough to show how the programmer got where it stopped; the debug log
// holds the rest.
constexpr int maximumLines = 25;
constexpr int maximumLineLength = 300;

QString tr(const char *text)
{
    return QCoreApplication::translate("FailureReport", text);
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
} // namespace

FailureReport describeFailure(const FailedRun &run)
{
    const QString untouched = tr("The device was not touched.");
    if (!run.refusal.isNull())
        return { run.refusal.advice + QLatin1Char(' ') + untouched, QString() };
    if (!run.shellStartError.isEmpty()) {
        return { tr("The updater could not start the system's command shell (%1), so the flash "
                    "programmer did not run. Restart the computer and try again.")
                            .arg(run.shellStartError)
                    + QLatin1Char(' ') + untouched,
            QString() };
    }

    // Once the programmer has run, the device may hold anything from its old
    // firmware to the whole new one; its bootloader is never written.
    const QString partWritten =
            tr("The device may now hold part of the new firmware. With its jumper in \"Flash\" "
               "it still starts its bootloader, and a successful run puts it right.");
    const QString advice = run.cutOff
            ? tr("The flash programmer had not finished after %1, when the updater stopped "
                 "waiting for it: it was stopped in the middle of writing. Check the connection "
                 "and the port, then press Start again.")
                      .arg(duration(run.finishTimeout))
            : tr("The flash programmer did not report success. Check that the jumper is in the "
                 "\"Flash\" position, that the Kestrix is connected to the NMEA2000 network, "
                 "which powers it, and that the port is the one it is attached to, then press "
                 "Start again.");

    QStringList details;
    for (const QString &part : { section(tr("Output:"), run.output, run.codePage),
                 section(tr("Error output:"), run.errors, run.codePage) }) {
        if (!part.isEmpty())
            details << part;
    }
    return { advice + QLatin1Char(' ') + partWritten, details.join(QStringLiteral("\n\n")) };
}
