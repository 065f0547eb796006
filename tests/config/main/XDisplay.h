#pragma once
// A private X server (Xvfb) for tests that need a real window system, and a
// look at its top-level windows.

#include "Process.h"

#include <memory>
#include <string>

namespace MW::Test {

class XDisplay {
public:
    XDisplay();
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    // False when Xvfb is missing or did not start.
    bool ok() const { return m_ok; }
    const std::string& name() const { return m_name; } // ":N"

    // Whether a top-level window with this title exists and is mapped.
    bool isViewable(const std::string& title) const;

private:
    std::string m_name;
    std::unique_ptr<Child> m_server;
    bool m_ok = false;
};

} // namespace MW::Test
