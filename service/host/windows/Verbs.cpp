#include "Verbs.h"

#include "CCallerCheck.h"
#include "CRegistrar.h"
#include "CServiceInstaller.h"
#include "VerbMessages.h"

namespace MW::Host {
namespace {

// Registers the AppID, as a service or as a plain local server. An installed
// service is removed first, also when the program now registers as a plain
// server, so that the two never disagree.
HRESULT registerAppId(const CRegistrar& registrar, const CServiceInstaller& installer,
                      bool asService, const std::wstring& group) {
    if (!installer.uninstall())
        return E_FAIL;
    HRESULT hr = registrar.registerAppId(group);
    if (FAILED(hr) || !asService)
        return hr;
    hr = registrar.setLocalService(kServiceName);
    if (FAILED(hr))
        return hr;
    return installer.install() ? S_OK : E_FAIL;
}

} // namespace

HRESULT runVerb(const WinCommandLine& line, const std::wstring& programPath) {
    const CVerbMessages messages(kServiceName, line.quiet);
    const CServiceInstaller installer(kServiceName, programPath, messages);
    const std::wstring group = line.authGroup.value_or(COM::kDefaultChangeGroup);
    switch (line.verb) {
    case EVerb::eV_UnregServer: {
        const CRegistrar registrar(false, programPath);
        HRESULT hr = registrar.unregisterClasses();
        if (FAILED(hr))
            return hr;
        if (!installer.uninstall())
            return E_FAIL;
        return registrar.unregisterAppId();
    }
    case EVerb::eV_RegServer:
    case EVerb::eV_Service: {
        const CRegistrar registrar(false, programPath);
        const HRESULT hr =
            registerAppId(registrar, installer, line.verb == EVerb::eV_Service, group);
        return FAILED(hr) ? hr : registrar.registerClasses();
    }
    // The per-user verbs touch the current user's classes only: an installed
    // service belongs to the machine and stays as it is.
    case EVerb::eV_UnregServerPerUser: {
        const CRegistrar registrar(true, programPath);
        const HRESULT hr = registrar.unregisterClasses();
        return FAILED(hr) ? hr : registrar.unregisterAppId();
    }
    case EVerb::eV_RegServerPerUser: {
        const CRegistrar registrar(true, programPath);
        const HRESULT hr = registrar.registerAppId(group);
        return FAILED(hr) ? hr : registrar.registerClasses();
    }
    case EVerb::eV_None:
        break;
    }
    return E_INVALIDARG;
}

} // namespace MW::Host
