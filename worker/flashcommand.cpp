#include "flashcommand.h"

#include "codepage.h"

#include <QCoreApplication>
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

QString tr(const char *text)
{
    return QCoreApplication::translate("FlashCommand", text);
}

// Where the offending character sits decides what the user can do about it.
QString adviceFor(Value value, const QString &text, int at, const QString &what)
{
    QString advice;
    if (value == Value::Port) {
        advice = tr("The serial port's name holds %1. Choose another port.");
    } else {
        const int nameStart =
                std::max(text.lastIndexOf(QLatin1Char('/')), text.lastIndexOf(QLatin1Char('\\')))
                + 1;
        advice = at >= nameStart
                ? tr("The firmware file's name holds %1. Rename the file, or copy it under "
                     "another name, and choose it again.")
                : tr("The name of a folder on the way to the firmware file holds %1. Copy "
                     "the file to another folder and choose it there.");
    }
    return advice.arg(what);
}

QString valueName(Value value)
{
    return value == Value::Port ? QStringLiteral("port name")
                                : QStringLiteral("firmware file path");
}

// cmd.exe expands %VAR% even inside double quotes, a double quote ends the
// quoting, and a line break ends the command: none of these can be escaped
// within a quoted argument.
Refusal cmdQuotingRefusal(const QString &text, Value value)
{
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        QString what;
        if (c == QLatin1Char('%'))
            what = tr("a percent sign (%), which the command shell would change");
        else if (c == QLatin1Char('"'))
            what = tr("a double quote (\"), which the command shell would take for the end "
                      "of the name");
        else if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            what = tr("a line break, which would cut the command short");
        else
            continue;
        return { QStringLiteral("Refusing to run: the %1 holds a character cmd.exe would "
                                "interpret (double quote, percent sign or line break): %2")
                         .arg(valueName(value), text),
            adviceFor(value, text, i, what) };
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

Refusal codePageRefusal(const QString &text, Value value, unsigned codePage, Reader reader)
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
    const QString what = reader == Reader::Shell
            ? tr("the character \u201c%1\u201d, which the command shell cannot pass on as it "
                 "is (it reads code page %2)")
            : tr("the character \u201c%1\u201d, which the flash programmer cannot receive as "
                 "it is (it reads code page %2)");
    const QString logLine = reader == Reader::Shell
            ? QStringLiteral("Refusing to run: the %1 holds characters outside code page %2, in "
                             "which the shell reads its command: %3")
            : QStringLiteral("Refusing to run: the %1 holds characters outside code page %2, in "
                             "which the programmer reads its arguments: %3");
    return { logLine.arg(valueName(value), QString::number(codePage), text),
        adviceFor(value, text, qMin(at, text.size()),
                what.arg(text.mid(at, length), QString::number(codePage))) };
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
