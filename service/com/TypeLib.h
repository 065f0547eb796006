#pragma once
// The type library this program carries as resource 1, loaded once, and the
// IDispatch half of the dual interfaces built on it.

#include <oaidl.h>
#include <windows.h>

#include <string>

namespace MW::COM {

// The full path of this program (the module whose resource holds the library).
std::wstring modulePath();

// The library, with an added reference.
HRESULT loadTypeLib(ITypeLib** out);

// IDispatch through the type information of one dual interface: names are
// resolved and calls made by ITypeInfo on the object's own vtable.
class CDispatchTable {
public:
    explicit CDispatchTable(const IID& iid) : m_iid(iid) {}
    CDispatchTable(const CDispatchTable&) = delete;
    CDispatchTable& operator=(const CDispatchTable&) = delete;

    HRESULT getTypeInfoCount(UINT* count);
    HRESULT getTypeInfo(UINT index, ITypeInfo** info);
    HRESULT getIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids);
    HRESULT invoke(void* object, DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, UINT* argError);

private:
    // The dispatch description (what GetTypeInfo hands out) and the vtable
    // description of the same dual interface (what Invoke calls through).
    HRESULT load(ITypeInfo** dispatchInfo, ITypeInfo** interfaceInfo);

    const IID& m_iid;
};

} // namespace MW::COM
