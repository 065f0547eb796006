#include "TypeLib.h"

#include <mutex>
#include <vector>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace MW::COM {
namespace {

std::mutex g_mutex;
ITypeLib* g_pTypeLib = nullptr; // kept for the life of the process

} // namespace

std::wstring modulePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::wstring();
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

HRESULT loadTypeLib(ITypeLib** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    std::lock_guard lock(g_mutex);
    if (!g_pTypeLib) {
        // The program's own file: LoadTypeLibEx reads resource 1 of an executable.
        const HRESULT hr = ::LoadTypeLibEx(modulePath().c_str(), REGKIND_NONE, &g_pTypeLib);
        if (FAILED(hr)) {
            g_pTypeLib = nullptr;
            return hr;
        }
    }
    g_pTypeLib->AddRef();
    *out = g_pTypeLib;
    return S_OK;
}

HRESULT CDispatchTable::load(ITypeInfo** dispatchInfo, ITypeInfo** interfaceInfo) {
    ComPtr<ITypeLib> library;
    HRESULT hr = loadTypeLib(&library);
    if (FAILED(hr))
        return hr;
    ComPtr<ITypeInfo> dispatch;
    hr = library->GetTypeInfoOfGuid(m_iid, &dispatch);
    if (FAILED(hr))
        return hr;
    if (interfaceInfo) {
        // A dual interface's library entry is its dispatch description; the
        // vtable description is its reference -1.
        HREFTYPE ref = 0;
        hr = dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref);
        if (SUCCEEDED(hr))
            hr = dispatch->GetRefTypeInfo(ref, interfaceInfo);
        if (FAILED(hr))
            return hr;
    }
    if (dispatchInfo)
        *dispatchInfo = dispatch.Detach();
    return S_OK;
}

HRESULT CDispatchTable::getTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT CDispatchTable::getTypeInfo(UINT index, ITypeInfo** info) {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    return load(info, nullptr);
}

HRESULT CDispatchTable::getIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    ComPtr<ITypeInfo> info;
    const HRESULT hr = load(&info, nullptr);
    if (FAILED(hr))
        return hr;
    return info->GetIDsOfNames(names, count, ids);
}

HRESULT CDispatchTable::invoke(void* object, DISPID id, REFIID riid, WORD flags,
                               DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                               UINT* argError) {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    ComPtr<ITypeInfo> info;
    const HRESULT hr = load(nullptr, &info);
    if (FAILED(hr))
        return hr;
    return info->Invoke(object, id, flags, params, result, exception, argError);
}

} // namespace MW::COM
