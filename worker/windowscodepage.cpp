#include "windowscodepage.h"

#include <windows.h>

unsigned windowsOemCodePage()
{
    return GetOEMCP();
}

bool encodeInWindowsCodePage(
        const wchar_t *text, int length, unsigned codePage, std::string *encoded)
{
    encoded->clear();
    if (length == 0)
        return true;
    // UTF-8 (an option of newer Windows for the OEM code page) takes no
    // best-fit flag and every character has a place in it, bar a lone
    // surrogate, which the system reports as invalid.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL *usedDefaultOut = utf8 ? nullptr : &usedDefault;
    const int size =
            WideCharToMultiByte(codePage, flags, text, length, nullptr, 0, nullptr, usedDefaultOut);
    if (size <= 0 || usedDefault)
        return false;
    encoded->resize(size);
    WideCharToMultiByte(
            codePage, flags, text, length, &(*encoded)[0], size, nullptr, usedDefaultOut);
    return true;
}
