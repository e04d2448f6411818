#include "flashcommand.h"

#include "codepage.h"

#include <QList>

#include <algorithm>
#include <utility>

namespace {

const QString programmerInvocation = QStringLiteral("stmflshr -b 115200 -e 40 -w ");

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

enum class Value { FirmwareFile, Port };

// Where the character sits decides what the user can do about it.
RunCause characterRefusal(
        Value value, const QString &text, int at, int length, const QString &technical)
{
    RunCause refusal;
    if (value == Value::Port) {
        refusal.cause = Cause::PortNameCharacter;
        refusal.port = text;
    } else {
        const int nameStart =
                std::max(text.lastIndexOf(QLatin1Char('/')), text.lastIndexOf(QLatin1Char('\\')))
                + 1;
        refusal.cause = at >= nameStart ? Cause::FileNameCharacter : Cause::FolderNameCharacter;
        refusal.file = text;
    }
    refusal.character = text.mid(at, length);
    refusal.technical = technical;
    return refusal;
}

QString valueName(Value value)
{
    return value == Value::Port ? QStringLiteral("port name")
                                : QStringLiteral("firmware file path");
}

// cmd.exe expands %VAR% even inside double quotes, a double quote ends the
// quoting, and a line break ends the command: none of these can be escaped
// within a quoted argument.
RunCause cmdQuotingRefusal(const QString &text, Value value)
{
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('%') && c != QLatin1Char('"') && c != QLatin1Char('\r')
                && c != QLatin1Char('\n'))
            continue;
        return characterRefusal(value, text, i, 1,
                QStringLiteral("Refusing to run: the %1 holds a character cmd.exe would "
                               "interpret (double quote, percent sign or line break): %2")
                        .arg(valueName(value), text));
    }
    return {};
}

// Inside POSIX double quotes only these four keep a meaning; a backslash
// before each makes it literal.
QString posixDoubleQuoted(const QString &value)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : value) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"') || c == QLatin1Char('$')
                || c == QLatin1Char('`'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out + QLatin1Char('"');
}

QString posixSingleQuoted(QString value)
{
    value.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

enum class Reader { Shell, Programmer };

RunCause codePageRefusal(const QString &text, Value value, unsigned codePage, Reader reader)
{
    if (encodeInCodePage(text, codePage))
        return {};
    // The first character the code page lacks, whole if it is a pair.
    int at = 0;
    int length = 1;
    for (; at < text.size(); at += length) {
        length = text.at(at).isHighSurrogate() && at + 1 < text.size() ? 2 : 1;
        if (!encodeInCodePage(text.mid(at, length), codePage))
            break;
    }
    const QString logLine = reader == Reader::Shell
            ? QStringLiteral("Refusing to run: the %1 holds characters outside code page %2, in "
                             "which the shell reads its command: %3")
            : QStringLiteral("Refusing to run: the %1 holds characters outside code page %2, in "
                             "which the programmer reads its arguments: %3");
    return characterRefusal(value, text, qMin(at, text.size()), length,
            logLine.arg(valueName(value), QString::number(codePage), text));
}

// Every form of the path a programmer on this shell may print back.
QList<QByteArray> pathCopies(const QString &path, ShellKind shell, const CodePages &codePages)
{
    QStringList texts = { path };
    if (shell == ShellKind::Cmd) {
        texts << QString(path).replace(QLatin1Char('/'), QLatin1Char('\\'))
              << QString(path).replace(QLatin1Char('\\'), QLatin1Char('/'));
    }
    QList<QByteArray> copies;
    for (const QString &text : std::as_const(texts)) {
        for (const unsigned codePage : { utf8CodePage, codePages.shell, codePages.programmer }) {
            const std::optional<QByteArray> copy = encodeInCodePage(text, codePage);
            if (copy && !copy->isEmpty() && !copies.contains(*copy))
                copies << *copy;
        }
    }
    return copies;
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

QStringList shellArguments(ShellKind shell)
{
    if (shell == ShellKind::Cmd) {
        return { QStringLiteral("/D"), QStringLiteral("/V:OFF"), QStringLiteral("/K"),
            QStringLiteral("prompt"), QStringLiteral("$G") };
    }
    return { QStringLiteral("-c"), QStringLiteral("echo Shell ready.; exec /bin/sh") };
}

CodePages shellCodePages(ShellKind shell)
{
    if (shell == ShellKind::Cmd)
        return { cmdConsoleCodePage(), ansiCodePage() };
    return {};
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

FlashCommand composeFlashCommand(const QString &firmwareFile, const QString &programmerPort,
        ShellKind shell, const CodePages &codePages)
{
    FlashCommand command;
    QString quotedFile;
    QString port;

    if (shell == ShellKind::Cmd) {
        command.refusal = cmdQuotingRefusal(firmwareFile, Value::FirmwareFile);
        if (command.refusal.isNull())
            command.refusal = cmdQuotingRefusal(programmerPort, Value::Port);
        quotedFile = QLatin1Char('"') + firmwareFile + QLatin1Char('"');
        port = isPlainWord(programmerPort, QStringLiteral("_.:\\-"))
                ? programmerPort
                : QLatin1Char('"') + programmerPort + QLatin1Char('"');
    } else {
        quotedFile = posixDoubleQuoted(firmwareFile);
        port = isPlainWord(programmerPort, QStringLiteral("_./:+,=@%-"))
                ? programmerPort
                : posixSingleQuoted(programmerPort);
    }

    // A character either code page lacks would reach the programmer as
    // another one, naming another file or none: Windows hands a program with
    // a plain main() a look-alike in its place.
    for (const auto &[text, value] :
            { std::pair { firmwareFile, Value::FirmwareFile }, { programmerPort, Value::Port } }) {
        if (command.refusal.isNull())
            command.refusal = codePageRefusal(text, value, codePages.shell, Reader::Shell);
        if (command.refusal.isNull())
            command.refusal =
                    codePageRefusal(text, value, codePages.programmer, Reader::Programmer);
    }
    if (!command.isValid())
        return command;

    // An empty port stays empty: the programmer then gets no port at all and
    // says so itself.
    command.text =
            programmerInvocation + quotedFile + QLatin1Char(' ') + port + QStringLiteral(" \n");
    command.line = *encodeInCodePage(command.text, codePages.shell);
    command.pathCopies = pathCopies(firmwareFile, shell, codePages);
    return command;
}
