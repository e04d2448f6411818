#include "codepage.h"

#include "windowscodepage.h"

#include <string>

unsigned cmdCodePage()
{
    return windowsOemCodePage();
}

std::optional<QByteArray> encodeInCodePage(const QString &text, unsigned codePage)
{
    std::string encoded;
    if (!encodeInWindowsCodePage(
                reinterpret_cast<const wchar_t *>(text.utf16()), text.size(), codePage, &encoded))
        return std::nullopt;
    return QByteArray(encoded.data(), int(encoded.size()));
}
