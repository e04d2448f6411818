#include "codepage.h"

#include <qt_windows.h>

namespace {
unsigned consoleSetting(const wchar_t *key)
{
    DWORD codePage = 0;
    DWORD size = sizeof codePage;
    if (RegGetValueW(
                HKEY_CURRENT_USER, key, L"CodePage", RRF_RT_REG_DWORD, nullptr, &codePage, &size)
            != ERROR_SUCCESS)
        return 0;
    return IsValidCodePage(codePage) ? codePage : 0;
}
} // namespace

unsigned cmdConsoleCodePage()
{
    // A new console takes the code page of the console settings for its
    // program, else of the user's console settings, else the OEM one.
    for (const wchar_t *key : { L"Console\\%SystemRoot%_system32_cmd.exe", L"Console" }) {
        if (const unsigned codePage = consoleSetting(key))
            return codePage;
    }
    return GetOEMCP();
}

unsigned ansiCodePage()
{
    return GetACP();
}

std::optional<QByteArray> encodeInCodePage(const QString &text, unsigned codePage)
{
    if (text.isEmpty())
        return QByteArray();
    // UTF-8 takes no best-fit flag and holds every character, bar a lone
    // surrogate, which the system reports as invalid.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    BOOL usedDefault = FALSE;
    BOOL *usedDefaultOut = utf8 ? nullptr : &usedDefault;
    const int size = WideCharToMultiByte(
            codePage, flags, wide, text.size(), nullptr, 0, nullptr, usedDefaultOut);
    if (size <= 0 || usedDefault)
        return std::nullopt;
    QByteArray encoded(size, Qt::Uninitialized);
    WideCharToMultiByte(
            codePage, flags, wide, text.size(), encoded.data(), size, nullptr, usedDefaultOut);
    return encoded;
}
