#pragma once
// Installs and removes the service "mwservice" in the service control manager:
// its own process, started automatically with the system, after RPCSS, as
// LocalSystem, the quoted program path as its image.

#include "VerbMessages.h"

#include <string>

namespace MW::Host {

class CServiceInstaller {
public:
    CServiceInstaller(std::wstring serviceName, std::wstring programPath,
                      const CVerbMessages& messages);

    bool isInstalled() const;
    // Succeeds without change when the service is installed already.
    bool install() const;
    // Stops the service, waits for it to end, and deletes it; succeeds when there
    // is nothing to remove.
    bool uninstall() const;

private:
    std::wstring m_strName;
    std::wstring m_strProgram;
    const CVerbMessages& m_messages;
};

} // namespace MW::Host
