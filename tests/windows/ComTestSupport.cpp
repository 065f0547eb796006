#include "ComTestSupport.h"

#include "Wait.h"

#include <mwservice.h>
#include <objbase.h>
#include <stdexcept>

namespace MW::Test {

CComApartment::CComApartment() {
    if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        throw std::runtime_error("CoInitializeEx failed");
}

CComApartment::~CComApartment() {
    ::CoUninitialize();
}

CBstr::CBstr(const std::wstring& text)
    : m_b(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}

CBstr::~CBstr() {
    ::SysFreeString(m_b);
}

BSTR* CBstr::put() {
    ::SysFreeString(m_b);
    m_b = nullptr;
    return &m_b;
}

GUID guidOf(const char* text) {
    const std::string narrow(text);
    const std::wstring wide(narrow.begin(), narrow.end());
    GUID guid{};
    if (FAILED(::CLSIDFromString(wide.c_str(), &guid)))
        throw std::invalid_argument("not a GUID: " + narrow);
    return guid;
}

HRESULT CRecordingSink::QueryInterface(REFIID iid, void** object) {
    if (iid == IID_IUnknown || iid == IID_IDispatch ||
        (m_bAnswersEvents && iid == DIID_IMorrowickEvents)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CRecordingSink::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                               VARIANT*, EXCEPINFO*, UINT*) {
    SEventCall call;
    call.id = id;
    call.nullIid = riid == IID_NULL;
    call.lcid = lcid;
    call.flags = flags;
    if (params) {
        call.namedArgs = params->cNamedArgs;
        for (UINT i = 0; i < params->cArgs; ++i)
            call.argTypes.push_back(params->rgvarg[i].vt);
        if (params->cArgs > 0 && params->rgvarg[0].vt == VT_UI8)
            call.total = params->rgvarg[0].ullVal;
    }
    std::lock_guard lock(m_mutex);
    m_calls.push_back(call);
    return m_bFailing ? E_FAIL : S_OK;
}

std::vector<SEventCall> CRecordingSink::calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

std::vector<DISPID> CRecordingSink::ids() const {
    std::vector<DISPID> result;
    for (const SEventCall& call : calls())
        result.push_back(call.id);
    return result;
}

bool CRecordingSink::waitForCalls(std::size_t count, std::chrono::seconds timeout) {
    return waitUntil([&] { return calls().size() >= count; }, timeout);
}

} // namespace MW::Test
