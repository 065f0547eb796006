#include "CComLink.h"

#include "ComError.h"
#include "Contract.h"

#include <oleauto.h>

namespace MW::Win {

using Client::EProperty;
using Client::PropertyValue;

DWORD CComLink::s_dwConnectWaitMs = 1000;

namespace {

// A BSTR that frees itself.
class CBstr {
public:
    CBstr() = default;
    explicit CBstr(const std::string& utf8) {
        const std::wstring wide = Wide(utf8);
        m_b = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    }
    ~CBstr() { ::SysFreeString(m_b); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
    BSTR* put() { return &m_b; }
    BSTR get() const { return m_b; }
    std::string utf8() const { return m_b ? Utf8(std::wstring(m_b, ::SysStringLen(m_b))) : ""; }

private:
    BSTR m_b = nullptr;
};

using TextGet = HRESULT (STDMETHODCALLTYPE IConfig::*)(BSTR*);
using TextPut = HRESULT (STDMETHODCALLTYPE IConfig::*)(BSTR);

struct STextProperty {
    EProperty property;
    TextGet get;
    TextPut put;
};
const STextProperty kTexts[] = {
    {EProperty::ScanFolder, &IConfig::get_ScanFolder, &IConfig::put_ScanFolder},
    {EProperty::FileTypes, &IConfig::get_FileTypes, &IConfig::put_FileTypes},
    {EProperty::OtherFileTypes, &IConfig::get_OtherFileTypes, &IConfig::put_OtherFileTypes},
    {EProperty::LastScan, &IConfig::get_LastScan, &IConfig::put_LastScan},
    {EProperty::ContactName, &IConfig::get_ContactName, &IConfig::put_ContactName},
    {EProperty::ContactEmail, &IConfig::get_ContactEmail, &IConfig::put_ContactEmail},
    {EProperty::ProxyServer, &IConfig::get_ProxyServer, &IConfig::put_ProxyServer},
    {EProperty::ProxyPort, &IConfig::get_ProxyPort, &IConfig::put_ProxyPort},
    {EProperty::ProxySysServer, &IConfig::get_ProxySysServer, &IConfig::put_ProxySysServer},
    {EProperty::ProxySysBypass, &IConfig::get_ProxySysBypass, &IConfig::put_ProxySysBypass},
};

const STextProperty* textProperty(EProperty property) {
    for (const STextProperty& text : kTexts)
        if (text.property == property)
            return &text;
    return nullptr;
}

template <typename T>
T as(const PropertyValue& value) {
    if (const T* held = std::get_if<T>(&value))
        return *held;
    throw Client::CCallFailure("A value of another type than the property's.");
}

} // namespace

CComLink::~CComLink() {
    m_observer.UnadviseEngine();
    releaseEngine();
}

void CComLink::releaseEngine() {
    if (m_pEngine)
        m_pEngine->Release();
    m_pEngine = nullptr;
}

bool CComLink::createEngine() {
    releaseEngine();
    IMorrowick* engine = nullptr;
    const HRESULT hr = ::CoCreateInstance(::CLSID_Morrowick, nullptr, CLSCTX_LOCAL_SERVER,
                                          ::IID_IMorrowick, reinterpret_cast<void**>(&engine));
    // The service loads its settings while it starts; whatever the outcome,
    // give it that moment before the first call.
    ::Sleep(s_dwConnectWaitMs);
    if (FAILED(hr) || !engine)
        return false;
    m_pEngine = engine;
    return true;
}

IConfig* CComLink::QueryConfig() {
    if (!m_pEngine)
        throw CComError(E_POINTER, ::IID_IMorrowick);
    IDispatch* dispatch = nullptr;
    Check(m_pEngine->get_Config(&dispatch), ::IID_IMorrowick);
    if (!dispatch)
        throw CComError(E_POINTER, ::IID_IMorrowick);
    IConfig* config = nullptr;
    const HRESULT hr = dispatch->QueryInterface(::IID_IConfig, reinterpret_cast<void**>(&config));
    dispatch->Release();
    // An object without IConfig is an empty answer, not a failure.
    if (hr == E_NOINTERFACE)
        return nullptr;
    Check(hr, ::IID_IConfig);
    return config;
}

std::unique_ptr<Client::IConfigObject> CComLink::Config() {
    IConfig* config = QueryConfig();
    if (!config)
        throw CComError(E_POINTER, ::IID_IConfig);
    return std::make_unique<CComConfigObject>(config);
}

Client::SAccess CComLink::Access() {
    Client::SAccess access;
    wchar_t group[256];
    DWORD size = sizeof group;
    const std::wstring key = L"AppID\\" + Wide(APPID_Morrowick);
    if (::RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), L"ChangeGroup", RRF_RT_REG_SZ, nullptr,
                       group, &size) == ERROR_SUCCESS)
        access.group = Utf8(group);
    else
        access.group = "Morrowick";
    IConfig* config = QueryConfig();
    if (!config)
        return access;
    CBstr name;
    HRESULT hr = config->get_ContactName(name.put());
    if (SUCCEEDED(hr))
        hr = config->put_ContactName(name.get());
    config->Release();
    if (hr == E_ACCESSDENIED)
        access.mayChange = false;
    else
        Check(hr, ::IID_IConfig);
    return access;
}

std::int32_t CComLink::ActivityState() {
    if (!m_pEngine)
        throw CComError(E_POINTER, ::IID_IMorrowick);
    ::EActivityState state{};
    Check(m_pEngine->get_ActivityState(&state), ::IID_IMorrowick);
    return static_cast<std::int32_t>(state);
}

std::int32_t CComLink::UndeletedCount() {
    if (!m_pEngine)
        throw CComError(E_POINTER, ::IID_IMorrowick);
    long count = 0;
    Check(m_pEngine->get_UndeletedCount(&count), ::IID_IMorrowick);
    return static_cast<std::int32_t>(count);
}

std::string CComLink::UndeletedLog() {
    if (!m_pEngine)
        throw CComError(E_POINTER, ::IID_IMorrowick);
    CBstr path;
    Check(m_pEngine->get_UndeletedLog(path.put()), ::IID_IMorrowick);
    return path.utf8();
}

void CComLink::scanNow() {
    if (!m_pEngine)
        throw CComError(E_POINTER, ::IID_IMorrowick);
    Check(m_pEngine->scanNow(), ::IID_IMorrowick);
}

std::string CComLink::AdviseEngine() {
    return Utf8(m_observer.AdviseEngine(m_pEngine));
}

CComConfigObject::~CComConfigObject() {
    if (m_pConfig)
        m_pConfig->Release();
}

PropertyValue CComConfigObject::get(EProperty property) {
    if (const STextProperty* text = textProperty(property)) {
        CBstr value;
        Check((m_pConfig->*text->get)(value.put()), ::IID_IConfig);
        return value.utf8();
    }
    switch (property) {
    case EProperty::StartTime: {
        VARIANT value;
        ::VariantInit(&value);
        Check(m_pConfig->get_StartTime(&value), ::IID_IConfig);
        const HRESULT hr = ::VariantChangeType(&value, &value, 0, VT_DATE);
        const double date = value.date;
        ::VariantClear(&value);
        Check(hr, ::IID_IConfig);
        return date;
    }
    case EProperty::DeleteAge: {
        ::EDeleteAge age{};
        Check(m_pConfig->get_DeleteAge(&age), ::IID_IConfig);
        return static_cast<std::int32_t>(age);
    }
    case EProperty::CleanedSpace: {
        ULONGLONG total = 0;
        Check(m_pConfig->get_CleanedSpace(&total), ::IID_IConfig);
        return static_cast<std::uint64_t>(total);
    }
    case EProperty::ProxyUsage:
    case EProperty::ProxySysUsage: {
        long flag = 0;
        Check(property == EProperty::ProxyUsage ? m_pConfig->get_ProxyUsage(&flag)
                                                : m_pConfig->get_ProxySysUsage(&flag),
              ::IID_IConfig);
        return static_cast<std::int32_t>(flag);
    }
    case EProperty::ProxySysAccessType: {
        unsigned long type = 0;
        Check(m_pConfig->get_ProxySysAccessType(&type), ::IID_IConfig);
        return static_cast<std::uint32_t>(type);
    }
    default:
        throw CComError(E_INVALIDARG, ::IID_IConfig);
    }
}

void CComConfigObject::set(EProperty property, const PropertyValue& value) {
    if (const STextProperty* text = textProperty(property)) {
        const CBstr bstr(as<std::string>(value));
        Check((m_pConfig->*text->put)(bstr.get()), ::IID_IConfig);
        return;
    }
    switch (property) {
    case EProperty::StartTime: {
        VARIANT date;
        ::VariantInit(&date);
        date.vt = VT_DATE;
        date.date = as<double>(value);
        Check(m_pConfig->put_StartTime(date), ::IID_IConfig);
        return;
    }
    case EProperty::DeleteAge:
        Check(m_pConfig->put_DeleteAge(static_cast<::EDeleteAge>(as<std::int32_t>(value))),
              ::IID_IConfig);
        return;
    case EProperty::CleanedSpace:
        Check(m_pConfig->put_CleanedSpace(as<std::uint64_t>(value)), ::IID_IConfig);
        return;
    case EProperty::ProxyUsage:
        Check(m_pConfig->put_ProxyUsage(as<std::int32_t>(value)), ::IID_IConfig);
        return;
    case EProperty::ProxySysUsage:
        Check(m_pConfig->put_ProxySysUsage(as<std::int32_t>(value)), ::IID_IConfig);
        return;
    case EProperty::ProxySysAccessType:
        Check(m_pConfig->put_ProxySysAccessType(as<std::uint32_t>(value)), ::IID_IConfig);
        return;
    default:
        throw CComError(E_INVALIDARG, ::IID_IConfig);
    }
}

} // namespace MW::Win
