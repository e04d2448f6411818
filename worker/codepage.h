#ifndef CODEPAGE_H
#define CODEPAGE_H

#include <QByteArray>
#include <QString>

#include <optional>

constexpr unsigned utf8CodePage = 65001;

// The code page cmd.exe reads its piped input in. Built for Windows, the
// system's OEM code page; elsewhere, where only Wine's cmd.exe can be meant,
// Wine's default, 437.
unsigned cmdCodePage();

// The text in the code page, exactly, or nothing when a character has no
// place of its own there.
std::optional<QByteArray> encodeInCodePage(const QString &text, unsigned codePage);

#endif // CODEPAGE_H
