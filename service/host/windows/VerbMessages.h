#pragma once
// The messages of the registration verbs. A message box (OK button, the service
// name as caption) waits for a click, so it is shown only where someone can
// click: never with /quiet, never without an interactive window station (a
// service, a scheduled task, a remote shell). The text also goes to standard
// error whenever the program has one, so an unattended run keeps it.

#include <string>

namespace MW::Host {

class CVerbMessages {
public:
    CVerbMessages(std::wstring caption, bool quiet) : m_strCaption(std::move(caption)), m_bQuiet(quiet) {}

    void show(const std::wstring& text) const;

    // Whether this process's window station is visible to a user.
    static bool interactiveDesktop();

private:
    std::wstring m_strCaption;
    bool m_bQuiet;
};

} // namespace MW::Host
