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

QByteArray programmerOutput(
        const QByteArray &resultBlock, const FlashCommand &command, ShellKind shell)
{
    if (shell != ShellKind::Cmd || resultBlock.isEmpty())
        return resultBlock;
    // The prompt comes before the line it reads, which the real cmd.exe
    // echoes and Wine's does not, and again once the input has ended.
    // Wine 10's cmd.exe starts with a line break of its own.
    QList<QByteArray> lines = resultBlock.split('\n');
    for (QByteArray &line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        if (line.startsWith('>'))
            line.remove(0, 1);
        break;
    }
    if (lines.last().trimmed() == ">")
        lines.removeLast();
    const QByteArray echo = command.line.trimmed();
    QList<QByteArray> printed;
    for (const QByteArray &line : std::as_const(lines)) {
        if (echo.isEmpty() || !line.contains(echo))
            printed << line;
    }
    return printed.join('\n');
}
