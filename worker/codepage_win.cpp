#include "codepage.h"

#include <qt_windows.h>

#include <string>

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
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    // Where the code page allows, the system reports a character that has no
    // place of its own, rather than putting a look-alike or '?' in its
    // place. UTF-8 holds every character, bar a lone surrogate.
    const bool utf8 = codePage == CP_UTF8;
    DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL *usedDefaultOut = utf8 ? nullptr : &usedDefault;
    int size = WideCharToMultiByte(
            codePage, flags, wide, text.size(), nullptr, 0, nullptr, usedDefaultOut);
    if (size <= 0) {
        // Some code pages a console may be set to take neither (GB18030,
        // ISO-2022, ISCII, UTF-7, symbol): the round trip below tells alone.
        const DWORD error = GetLastError();
        if (error != ERROR_INVALID_FLAGS && error != ERROR_INVALID_PARAMETER)
            return std::nullopt;
        flags = 0;
        usedDefaultOut = nullptr;
        size = WideCharToMultiByte(codePage, 0, wide, text.size(), nullptr, 0, nullptr, nullptr);
    }
    if (size <= 0 || usedDefault)
        return std::nullopt;
    QByteArray encoded(size, Qt::Uninitialized);
    WideCharToMultiByte(
            codePage, flags, wide, text.size(), encoded.data(), size, nullptr, usedDefaultOut);

    // The reader decodes the bytes again: only what comes back as it was
    // names the same file.
    DWORD decodeFlags = MB_ERR_INVALID_CHARS;
    int length = MultiByteToWideChar(
            codePage, decodeFlags, encoded.constData(), encoded.size(), nullptr, 0);
    if (length <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        decodeFlags = 0;
        length = MultiByteToWideChar(codePage, 0, encoded.constData(), encoded.size(), nullptr, 0);
    }
    if (length != text.size())
        return std::nullopt;
    std::wstring decoded(size_t(length), L'\0');
    MultiByteToWideChar(
            codePage, decodeFlags, encoded.constData(), encoded.size(), decoded.data(), length);
    if (decoded.compare(0, decoded.size(), wide, size_t(text.size())) != 0)
        return std::nullopt;
    return encoded;
}

QString decodeFromCodePage(const QByteArray &bytes, unsigned codePage)
{
    if (bytes.isEmpty())
        return QString();
    const int length =
            MultiByteToWideChar(codePage, 0, bytes.constData(), bytes.size(), nullptr, 0);
    if (length <= 0)
        return QString::fromLatin1(bytes);
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.constData(), bytes.size(), wide.data(), length);
    return QString::fromStdWString(wide);
}
