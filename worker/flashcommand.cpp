#include "flashcommand.h"

#include <QList>

namespace {

const QByteArray programmerInvocation = QByteArrayLiteral("stmflshr -b 115200 -e 40 -w ");
const QByteArray successMark = QByteArrayLiteral("Done.");

// Characters no shell treats specially outside quotes; a port made only of
// these goes into the line as it is, as it always has.
bool isPlainWord(const QString &text, const QString &extra)
{
    for (const QChar c : text) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
                || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || extra.contains(c);
        if (!plain)
            return false;
    }
    return true;
}

// cmd.exe expands %VAR% even inside double quotes, a double quote ends the
// quoting, and a line break ends the command: none of these can be escaped
// within a quoted argument.
QString cmdQuotingProblem(const QString &value, const QString &what)
{
    for (const QChar c : value) {
        if (c == QLatin1Char('"') || c == QLatin1Char('%') || c == QLatin1Char('\r')
                || c == QLatin1Char('\n'))
            return QStringLiteral("Refusing to run: the %1 holds a character cmd.exe would "
                                  "interpret (double quote, percent sign or line break): %2")
                    .arg(what, value);
    }
    return {};
}

// Inside POSIX double quotes only these four keep a meaning; a backslash
// before each makes it literal.
QByteArray posixDoubleQuoted(const QString &value)
{
    QByteArray out = "\"";
    for (const char c : value.toUtf8()) {
        if (c == '\\' || c == '"' || c == '$' || c == '`')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

QByteArray posixSingleQuoted(const QString &value)
{
    QByteArray out = value.toUtf8();
    out.replace('\'', QByteArrayLiteral("'\\''"));
    return '\'' + out + '\'';
}

} // namespace

ShellKind nativeShellKind()
{
#ifdef Q_OS_WIN
    return ShellKind::Cmd;
#else
    return ShellKind::Posix;
#endif
}

QString shellProgram(ShellKind shell)
{
    return shell == ShellKind::Cmd ? QStringLiteral("cmd.exe") : QStringLiteral("/bin/sh");
}

QString programmerPort(const QString &portName, ShellKind shell)
{
    if (shell == ShellKind::Cmd || portName.isEmpty())
        return portName;
    // The same rule the serial port enumeration uses to name a device file.
    if (portName.startsWith(QLatin1Char('/')) || portName.startsWith(QLatin1String("./"))
            || portName.startsWith(QLatin1String("../")))
        return portName;
    return QStringLiteral("/dev/") + portName;
}

FlashCommand composeFlashCommand(
        const QString &firmwareFile, const QString &programmerPort, ShellKind shell)
{
    FlashCommand command;
    QByteArray quotedFile;
    QByteArray port;

    if (shell == ShellKind::Cmd) {
        command.problem = cmdQuotingProblem(firmwareFile, QStringLiteral("firmware file path"));
        if (command.problem.isEmpty())
            command.problem = cmdQuotingProblem(programmerPort, QStringLiteral("port name"));
        if (!command.isValid())
            return command;
        quotedFile = '"' + firmwareFile.toUtf8() + '"';
        port = isPlainWord(programmerPort, QStringLiteral("_.:\\-"))
                ? programmerPort.toUtf8()
                : '"' + programmerPort.toUtf8() + '"';
    } else {
        quotedFile = posixDoubleQuoted(firmwareFile);
        port = isPlainWord(programmerPort, QStringLiteral("_./:+,=@%-"))
                ? programmerPort.toUtf8()
                : posixSingleQuoted(programmerPort);
    }

    // An empty port stays empty: the programmer then gets no port at all and
    // says so itself.
    command.line = programmerInvocation + quotedFile + ' ' + port + QByteArrayLiteral(" \n");
    return command;
}

bool flashSucceeded(
        const QByteArray &resultBlock, const FlashCommand &command, const QString &firmwareFile)
{
    // cmd.exe echoes its prompt and every line it reads; that echo holds the
    // file path, which may well contain "Done." itself.
    const QByteArray echo = command.line.trimmed();
    const QByteArray path = firmwareFile.toUtf8();

    const QList<QByteArray> lines = resultBlock.split('\n');
    for (QByteArray line : lines) {
        if (!echo.isEmpty() && line.contains(echo))
            continue;
        if (!path.isEmpty())
            line.replace(path, QByteArrayLiteral("\n"));
        if (line.contains(successMark))
            return true;
    }
    return false;
}
