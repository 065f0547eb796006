#include "VerbMessages.h"

#include "ComSupport.h"

#include <cstdio>
#include <windows.h>

namespace MW::Host {

bool CVerbMessages::interactiveDesktop() {
    const HWINSTA station = ::GetProcessWindowStation();
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    return station &&
           ::GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed) &&
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

void CVerbMessages::show(const std::wstring& text) const {
    const std::string line = COM::narrow(m_strCaption) + ": " + COM::narrow(text);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    if (m_bQuiet || !interactiveDesktop())
        return;
    ::MessageBoxW(nullptr, text.c_str(), m_strCaption.c_str(), MB_OK);
}

} // namespace MW::Host
