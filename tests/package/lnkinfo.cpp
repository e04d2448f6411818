// Reads a shortcut of the all-users Start menu through the shell's link
// interface, as Explorer does, and prints what it starts and where, one
// field a line, in UTF-8: target, working folder, arguments, icon.
// usage: lnkinfo.exe NAME      (NAME.lnk in the common Programs folder)
#include <windows.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>

namespace {
void print(const char *field, const wchar_t *value)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, value, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, value, -1, &utf8[0], size, nullptr, nullptr);
    std::printf("%s=%s\n", field, utf8.c_str());
}
} // namespace

int wmain(int argc, wchar_t *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: lnkinfo.exe NAME\n");
        return 2;
    }
    wchar_t *programs = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_CommonPrograms, 0, nullptr, &programs)))
        return 1;
    const std::wstring path = std::wstring(programs) + L"\\" + argv[1] + L".lnk";
    CoTaskMemFree(programs);
    print("file", path.c_str());

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW *link = nullptr;
    IPersistFile *file = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                reinterpret_cast<void **>(&link)))
            || FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file)))
            || FAILED(file->Load(path.c_str(), STGM_READ))) {
        std::fprintf(stderr, "lnkinfo: cannot read %ls\n", path.c_str());
        return 1;
    }
    wchar_t text[MAX_PATH * 2] = {};
    link->GetPath(text, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
    print("target", text);
    link->GetWorkingDirectory(text, MAX_PATH * 2);
    print("workdir", text);
    link->GetArguments(text, MAX_PATH * 2);
    print("arguments", text);
    int index = 0;
    link->GetIconLocation(text, MAX_PATH * 2, &index);
    print("icon", (std::wstring(text) + L"," + std::to_wstring(index)).c_str());
    file->Release();
    link->Release();
    CoUninitialize();
    return 0;
}
