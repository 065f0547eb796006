// mw_hold_file PATH SHARE READY: opens PATH for reading and writing with the share
// mode SHARE ("none", "rw" or "rwd"), creates the file READY once it holds PATH,
// and keeps it open until its standard input ends (or it is ended).

#include <cstdio>
#include <cwchar>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4)
        return 2;
    DWORD share = 0;
    if (std::wcscmp(argv[2], L"rw") == 0)
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    else if (std::wcscmp(argv[2], L"rwd") == 0)
        share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const HANDLE file = ::CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    const HANDLE ready = ::CreateFileW(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE)
        return 4;
    ::CloseHandle(ready);
    char buffer[64];
    DWORD read = 0;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr) &&
           read > 0) {
    }
    ::CloseHandle(file);
    return 0;
}
