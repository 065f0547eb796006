#pragma once
// The two enumerators a connection-point container hands out: over its
// connection points and over one point's connections. Each works on a snapshot
// taken when it is made and holds a reference to every pointer in it.

#include <ocidl.h>

#include <atomic>
#include <new>
#include <vector>

namespace MW::COM {

// IEnumT over items of type T, where addRef/release keep an item's pointer.
template <typename IEnumT, typename T, const IID& kIid, void (*addRef)(const T&),
          void (*release)(const T&)>
class CEnumerator final : public IEnumT {
public:
    static HRESULT create(std::vector<T> items, IEnumT** out) {
        if (!out)
            return E_POINTER;
        *out = new (std::nothrow) CEnumerator(std::move(items), 0);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == kIid) {
            *object = static_cast<IEnumT*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nRef; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG count = --m_nRef;
        if (count == 0)
            delete this;
        return count;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, T* items, ULONG* fetched) override {
        if (!items || (!fetched && count != 1))
            return E_POINTER;
        ULONG n = 0;
        for (; n < count && m_nPos < m_arrItems.size(); ++n, ++m_nPos) {
            items[n] = m_arrItems[m_nPos];
            addRef(items[n]);
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        const std::size_t left = m_arrItems.size() - m_nPos;
        const bool enough = count <= left;
        m_nPos += enough ? count : left;
        return enough ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        m_nPos = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumT** out) override {
        if (!out)
            return E_POINTER;
        *out = new (std::nothrow) CEnumerator(m_arrItems, m_nPos);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    CEnumerator(std::vector<T> items, std::size_t pos) : m_arrItems(std::move(items)), m_nPos(pos) {
        for (const T& item : m_arrItems)
            addRef(item);
    }
    ~CEnumerator() {
        for (const T& item : m_arrItems)
            release(item);
    }

    std::atomic<ULONG> m_nRef{1};
    std::vector<T> m_arrItems;
    std::size_t m_nPos;
};

inline void addRefConnection(const CONNECTDATA& data) {
    data.pUnk->AddRef();
}
inline void releaseConnection(const CONNECTDATA& data) {
    data.pUnk->Release();
}
inline void addRefPoint(IConnectionPoint* const& point) {
    point->AddRef();
}
inline void releasePoint(IConnectionPoint* const& point) {
    point->Release();
}

using CEnumConnections = CEnumerator<IEnumConnections, CONNECTDATA, IID_IEnumConnections,
                                     addRefConnection, releaseConnection>;
using CEnumConnectionPoints = CEnumerator<IEnumConnectionPoints, IConnectionPoint*,
                                          IID_IEnumConnectionPoints, addRefPoint, releasePoint>;

} // namespace MW::COM
