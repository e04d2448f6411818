#include "flashverdict.h"

#include <QList>

namespace {
const QByteArray successMark = QByteArrayLiteral("Done.");
} // namespace

bool flashSucceeded(const QByteArray &resultBlock, const FlashCommand &command)
{
    // cmd.exe echoes its prompt and every line it reads; that echo holds the
    // file path, which may well contain "Done." itself. Its prompt names no
    // folder: the run gives it one of its own.
    const QByteArray echo = command.line.trimmed();

    const QList<QByteArray> lines = resultBlock.split('\n');
    for (QByteArray line : lines) {
        if (!echo.isEmpty() && line.contains(echo))
            continue;
        for (const QByteArray &path : command.pathCopies)
            line.replace(path, QByteArrayLiteral("\n"));
        if (line.contains(successMark))
            return true;
    }
    return false;
}
