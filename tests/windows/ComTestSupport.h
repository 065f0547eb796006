#pragma once
// What the COM tests share: the apartment, BSTRs and VARIANTs that free
// themselves, GUIDs from the contract's strings, and an event sink that records
// every call it gets.

#include <oaidl.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace MW::Test {

// This thread in the multithreaded apartment, as the service's threads are.
class CComApartment {
public:
    CComApartment();
    ~CComApartment();
    CComApartment(const CComApartment&) = delete;
    CComApartment& operator=(const CComApartment&) = delete;
};

class CBstr {
public:
    CBstr() = default;
    explicit CBstr(const std::wstring& text);
    ~CBstr();
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
    BSTR get() const { return m_b; }
    BSTR* put();
    std::wstring text() const { return m_b ? std::wstring(m_b, ::SysStringLen(m_b)) : L""; }

private:
    BSTR m_b = nullptr;
};

class CVariant {
public:
    CVariant() { ::VariantInit(&v); }
    ~CVariant() { ::VariantClear(&v); }
    CVariant(const CVariant&) = delete;
    CVariant& operator=(const CVariant&) = delete;
    VARIANT v;
};

GUID guidOf(const char* text);

// One call of the sink's Invoke, as it arrived.
struct SEventCall {
    DISPID id = 0;
    bool nullIid = false;
    LCID lcid = 0;
    WORD flags = 0;
    UINT namedArgs = 0;
    std::vector<VARTYPE> argTypes;
    std::uint64_t total = 0; // the first argument's VT_UI8 value
};

// A client's sink for IMorrowickEvents. `answersEvents` false: it answers only
// IDispatch, as a sink written for another interface would. `failing`: every
// Invoke fails.
class CRecordingSink final : public IDispatch {
public:
    explicit CRecordingSink(bool answersEvents = true, bool failing = false)
        : m_bAnswersEvents(answersEvents), m_bFailing(failing) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nRef; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_nRef; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

    std::vector<SEventCall> calls() const;
    std::vector<DISPID> ids() const;
    // Waits until `count` calls have arrived.
    bool waitForCalls(std::size_t count, std::chrono::seconds timeout = std::chrono::seconds(60));
    // References held by others (the sink itself lives on the test's stack).
    ULONG references() const { return m_nRef.load() - 1; }

private:
    bool m_bAnswersEvents;
    bool m_bFailing;
    std::atomic<ULONG> m_nRef{1};
    mutable std::mutex m_mutex;
    std::vector<SEventCall> m_calls;
};

} // namespace MW::Test
