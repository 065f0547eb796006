#include "CComConfig.h"

#include "CCallerCheck.h"
#include "ComSupport.h"

#include <new>

namespace MW::COM {
namespace {

template <typename T> HRESULT readInto(T* out, const std::function<T()>& read) {
    if (!out)
        return E_POINTER;
    return guarded([&] { *out = read(); });
}

HRESULT readText(BSTR* out, const std::function<std::string()>& read) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    HRESULT hr = S_OK;
    const HRESULT called = guarded([&] { hr = toBstr(read(), out); });
    return FAILED(called) ? called : hr;
}

HRESULT write(const std::function<void()>& body) {
    return guarded([&] {
        CCallerCheck::requireWriter();
        body();
    });
}

} // namespace

HRESULT CConfig::create(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    CConfig* config = new (std::nothrow) CConfig();
    if (!config)
        return E_OUTOFMEMORY;
    const HRESULT hr = config->QueryInterface(iid, object);
    config->Release();
    return hr;
}

CConfig::CConfig() : TDualInterface(::IID_IConfig) {
    lockModule();
}

CConfig::~CConfig() {
    unlockModule();
}

HRESULT CConfig::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == ::IID_IConfig || iid == IID_IDispatch) {
        *object = static_cast<::IConfig*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CConfig::AddRef() {
    return ++m_nRef;
}

ULONG CConfig::Release() {
    const ULONG count = --m_nRef;
    if (count == 0)
        delete this;
    return count;
}

// The text properties: a read gives a new BSTR (empty, never null, for an empty
// field); a write stores the text up to its first NUL, a null BSTR as empty.
#define MW_TEXT_PROPERTY(Name)                                                                     \
    HRESULT CConfig::get_##Name(BSTR* pVal) {                                                      \
        return readText(pVal, [this] { return m_config.get##Name(); });                            \
    }                                                                                              \
    HRESULT CConfig::put_##Name(BSTR newVal) {                                                     \
        return write([&] { m_config.set##Name(fromBstr(newVal)); });                               \
    }
MW_TEXT_PROPERTY(ScanFolder)
MW_TEXT_PROPERTY(FileTypes)
MW_TEXT_PROPERTY(OtherFileTypes)
MW_TEXT_PROPERTY(LastScan)
MW_TEXT_PROPERTY(ContactName)
MW_TEXT_PROPERTY(ContactEmail)
MW_TEXT_PROPERTY(ProxyServer)
MW_TEXT_PROPERTY(ProxyPort)
MW_TEXT_PROPERTY(ProxySysServer)
MW_TEXT_PROPERTY(ProxySysBypass)
#undef MW_TEXT_PROPERTY

HRESULT CConfig::get_StartTime(VARIANT* pVal) {
    if (!pVal)
        return E_POINTER;
    ::VariantInit(pVal);
    return guarded([&] {
        pVal->date = m_config.getStartTime();
        pVal->vt = VT_DATE;
    });
}

HRESULT CConfig::put_StartTime(VARIANT newVal) {
    return write([&] {
        double date = 0;
        if (newVal.vt == VT_DATE) {
            date = newVal.date;
        } else {
            // Anything else through the system's own conversion, in the service's
            // locale: a date text, a number, another date type.
            VARIANT converted;
            ::VariantInit(&converted);
            const HRESULT hr = ::VariantChangeType(&converted, &newVal, 0, VT_DATE);
            if (FAILED(hr)) {
                // The conversion's own answer (DISP_E_TYPEMISMATCH for a text that
                // is no date, DISP_E_OVERFLOW for a number beyond the dates).
                ::VariantClear(&converted);
                throw CHresultError(hr);
            }
            date = converted.date;
        }
        m_config.setStartTime(date);
    });
}

HRESULT CConfig::get_DeleteAge(::EDeleteAge* pVal) {
    if (!pVal)
        return E_POINTER;
    return guarded([&] { *pVal = static_cast<::EDeleteAge>(m_config.getDeleteAge()); });
}

HRESULT CConfig::put_DeleteAge(::EDeleteAge newVal) {
    // Any value is stored; the cleaning rules treat an unknown one as no age.
    return write([&] { m_config.setDeleteAge(static_cast<std::int32_t>(newVal)); });
}

HRESULT CConfig::get_CleanedSpace(ULONGLONG* pVal) {
    return readInto<ULONGLONG>(pVal, [this] { return m_config.getCleanedSpace(); });
}

HRESULT CConfig::put_CleanedSpace(ULONGLONG newVal) {
    return write([&] { m_config.setCleanedSpace(newVal); });
}

HRESULT CConfig::get_ProxyUsage(LONG* pVal) {
    return readInto<LONG>(pVal, [this] { return m_config.getProxyUsage(); });
}

HRESULT CConfig::put_ProxyUsage(LONG newVal) {
    return write([&] { m_config.setProxyUsage(newVal); });
}

HRESULT CConfig::get_ProxySysUsage(LONG* pVal) {
    return readInto<LONG>(pVal, [this] { return m_config.getProxySysUsage(); });
}

HRESULT CConfig::put_ProxySysUsage(LONG newVal) {
    return write([&] { m_config.setProxySysUsage(newVal); });
}

HRESULT CConfig::get_ProxySysAccessType(ULONG* pVal) {
    return readInto<ULONG>(pVal, [this] { return m_config.getProxySysAccessType(); });
}

HRESULT CConfig::put_ProxySysAccessType(ULONG newVal) {
    return write([&] { m_config.setProxySysAccessType(newVal); });
}

} // namespace MW::COM
