#ifndef WINDOWSCODEPAGE_H
#define WINDOWSCODEPAGE_H

#include <string>

// The code page a console program reads its piped input in when it was
// started by a program without a console, as cmd.exe is by the updater.
unsigned windowsOemCodePage();

// UTF-16 text in a Windows code page, exactly: false when a character has no
// place of its own in it, as a look-alike in its place would name another
// file. Plain Win32 without Qt, so that it is tested on its own.
bool encodeInWindowsCodePage(
        const wchar_t *text, int length, unsigned codePage, std::string *encoded);

#endif // WINDOWSCODEPAGE_H
