#include "CRegistrar.h"

#include "CCallerCheck.h"
#include "ComSupport.h"
#include "Contract.h"
#include "Registry.h"
#include "TypeLib.h"

#include <mwservice.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;


namespace MW::Host {
namespace {

const std::wstring kAppId = COM::widen(APPID_Morrowick);
const std::wstring kEngineClsid = COM::widen(CLSID_Morrowick);
const std::wstring kConfigClsid = COM::widen(CLSID_Config);
const std::wstring kLibId = COM::widen(LIBID_mwserviceLib);

constexpr const wchar_t* kEngineProgId = L"Morrowick.Morrowick.1";
constexpr const wchar_t* kEngineIndependentProgId = L"Morrowick.Morrowick";
constexpr const wchar_t* kConfigProgId = L"Morrowick.Config.1";
constexpr const wchar_t* kConfigIndependentProgId = L"Morrowick.Config";

HRESULT fromWin32(LONG error) {
    return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(error));
}

// Runs the steps in order and stops at the first failure.
class CSteps {
public:
    CSteps& operator()(LONG error) {
        if (m_error == ERROR_SUCCESS)
            m_error = error;
        return *this;
    }
    HRESULT result() const { return fromWin32(m_error); }

private:
    LONG m_error = ERROR_SUCCESS;
};

// For a per-user registration the classes root is the user's classes while the
// type library is registered or unregistered: the system's own registration
// then writes its TypeLib and Interface keys there. (Wine's
// RegisterTypeLibForUser registers for the machine.)
class CUserClassesRoot {
public:
    explicit CUserClassesRoot(bool perUser) {
        if (perUser && m_key.create(HKEY_CURRENT_USER, L"Software\\Classes") == ERROR_SUCCESS)
            m_bOverridden = ::RegOverridePredefKey(HKEY_CLASSES_ROOT, m_key.get()) == ERROR_SUCCESS;
    }
    ~CUserClassesRoot() {
        if (m_bOverridden)
            ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    }
    CUserClassesRoot(const CUserClassesRoot&) = delete;
    CUserClassesRoot& operator=(const CUserClassesRoot&) = delete;

private:
    CRegKey m_key;
    bool m_bOverridden = false;
};

} // namespace

CRegistrar::CRegistrar(bool perUser, std::wstring programPath)
    : m_bPerUser(perUser), m_strProgram(std::move(programPath)) {}

HKEY CRegistrar::root() const {
    return m_bPerUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

std::wstring CRegistrar::classesPath() const {
    // Below HKLM or HKCU (root()); the classes root shows both.
    return L"Software\\Classes\\";
}

HRESULT CRegistrar::registerAppId(const std::wstring& changeGroup) const {
    const std::wstring key = classesPath() + L"AppID\\" + kAppId;
    CSteps steps;
    steps(deleteTree(root(), key))(writeKey(root(), key, L"Morrowick"));
    CRegKey appId;
    steps(appId.open(root(), key, KEY_READ | KEY_WRITE));
    if (appId)
        steps(appId.setString(L"ServiceParameters", L"-Service"))(
            appId.setString(kChangeGroupValue, changeGroup))(appId.deleteValue(L"LocalService"));
    return steps.result();
}

HRESULT CRegistrar::setLocalService(const std::wstring& serviceName) const {
    CRegKey appId;
    CSteps steps;
    steps(appId.open(root(), classesPath() + L"AppID\\" + kAppId, KEY_READ | KEY_WRITE));
    if (appId)
        steps(appId.setString(L"LocalService", serviceName));
    return steps.result();
}

HRESULT CRegistrar::unregisterAppId() const {
    const std::wstring key = classesPath() + L"AppID\\" + kAppId;
    CRegKey appId;
    if (const LONG error = appId.open(root(), key, KEY_READ | KEY_WRITE);
        error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
        return fromWin32(error);
    if (appId)
        appId.deleteValue(L"LocalService");
    appId.close();
    return fromWin32(deleteTree(root(), key));
}

HRESULT CRegistrar::registerClasses() const {
    const std::wstring classes = classesPath();
    const std::wstring quoted = L"\"" + m_strProgram + L"\"";
    const HKEY r = root();
    CSteps steps;
    // The engine: ProgIDs, and its class key replaced.
    for (const wchar_t* progId : {kEngineProgId, kEngineIndependentProgId})
        steps(writeKey(r, classes + progId, L"Morrowick Class"))(
            writeKey(r, classes + progId + L"\\CLSID", kEngineClsid));
    const std::wstring engine = classes + L"CLSID\\" + kEngineClsid;
    steps(deleteTree(r, engine))(writeKey(r, engine, L"Morrowick Class"));
    {
        CRegKey key;
        steps(key.open(r, engine, KEY_WRITE));
        if (key)
            steps(key.setString(L"AppID", kAppId));
    }
    steps(writeKey(r, engine + L"\\ProgID", kEngineProgId))(
        writeKey(r, engine + L"\\VersionIndependentProgID", kEngineIndependentProgId))(
        writeKey(r, engine + L"\\LocalServer32", quoted));
    // The Config class: no AppID value, but its type library and version.
    steps(writeKey(r, classes + kConfigProgId, L"Config Class"))(
        writeKey(r, classes + kConfigProgId + L"\\CLSID", kConfigClsid))(
        writeKey(r, classes + kConfigIndependentProgId, L"Config Class"))(
        writeKey(r, classes + kConfigIndependentProgId + L"\\CurVer", kConfigProgId));
    const std::wstring config = classes + L"CLSID\\" + kConfigClsid;
    steps(deleteTree(r, config))(writeKey(r, config, L"Config Class"))(
        writeKey(r, config + L"\\ProgID", kConfigProgId))(
        writeKey(r, config + L"\\VersionIndependentProgID", kConfigIndependentProgId))(
        writeKey(r, config + L"\\Programmable", L""))(
        writeKey(r, config + L"\\LocalServer32", quoted))(
        writeKey(r, config + L"\\TypeLib", kLibId))(writeKey(r, config + L"\\Version", L"1.0"));
    {
        CRegKey key;
        steps(key.open(r, config + L"\\LocalServer32", KEY_WRITE));
        if (key)
            steps(key.setString(L"ServerExecutable", m_strProgram));
    }
    HRESULT hr = steps.result();
    if (FAILED(hr))
        return hr;
    // The type library, so that the system marshals the three interfaces from it.
    ComPtr<ITypeLib> library;
    hr = ::LoadTypeLibEx(m_strProgram.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr))
        return hr;
    std::wstring path = m_strProgram;
    const CUserClassesRoot userRoot(m_bPerUser);
    return ::RegisterTypeLib(library.Get(), path.data(), nullptr);
}

HRESULT CRegistrar::unregisterClasses() const {
    const std::wstring classes = classesPath();
    const HKEY r = root();
    CSteps steps;
    for (const wchar_t* progId :
         {kEngineProgId, kEngineIndependentProgId, kConfigProgId, kConfigIndependentProgId})
        steps(deleteTree(r, classes + progId));
    steps(deleteTree(r, classes + L"CLSID\\" + kEngineClsid))(
        deleteTree(r, classes + L"CLSID\\" + kConfigClsid));
    HRESULT hr = steps.result();
    if (FAILED(hr))
        return hr;
    // Only a library registered here is unregistered: a second unregistration
    // is no failure.
    if (CRegKey library; library.open(r, classes + L"TypeLib\\" + kLibId + L"\\1.0", KEY_READ) !=
                         ERROR_SUCCESS)
        return S_OK;
    GUID libId{};
    hr = ::CLSIDFromString(kLibId.c_str(), &libId);
    if (FAILED(hr))
        return hr;
    const CUserClassesRoot userRoot(m_bPerUser);
    hr = ::UnRegisterTypeLib(libId, kLibVersionMajor, kLibVersionMinor, LOCALE_NEUTRAL, SYS_WIN64);
    return hr;
}

SAppIdSettings readAppIdSettings() {
    // The classes root's view: the user's classes first, then the machine's.
    SAppIdSettings settings;
    CRegKey appId;
    for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        CRegKey appIds;
        settings.error = appIds.open(root, L"Software\\Classes\\AppID", KEY_READ);
        if (settings.error == ERROR_SUCCESS)
            settings.error = appId.open(appIds.get(), kAppId, KEY_READ);
        if (settings.error == ERROR_SUCCESS)
            break;
    }
    if (settings.error != ERROR_SUCCESS)
        return settings;
    settings.localService = appId.getString(L"LocalService").has_value();
    settings.changeGroup = appId.getString(kChangeGroupValue).value_or(COM::kDefaultChangeGroup);
    if (settings.changeGroup.empty())
        settings.changeGroup = COM::kDefaultChangeGroup;
    return settings;
}

} // namespace MW::Host
