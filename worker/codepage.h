#ifndef CODEPAGE_H
#define CODEPAGE_H

#include <QByteArray>
#include <QString>

#include <optional>

constexpr unsigned utf8CodePage = 65001;

// The code page cmd.exe reads its piped input in: that of its console, which
// the user's console settings may name and which is otherwise the system's
// OEM code page. Away from Windows, where only Wine's cmd.exe can be meant,
// Wine's default, 437.
unsigned cmdConsoleCodePage();

// The code page a program with a plain main() receives its arguments in: the
// system's ANSI code page. Away from Windows, Wine's default, 1252.
unsigned ansiCodePage();

// The text in the code page, exactly, or nothing when a character has no
// place of its own there: a look-alike in its place would name another file.
std::optional<QByteArray> encodeInCodePage(const QString &text, unsigned codePage);

// Bytes as a reader of the code page takes them; what it cannot read shows
// as the replacement character.
QString decodeFromCodePage(const QByteArray &bytes, unsigned codePage);

#endif // CODEPAGE_H
