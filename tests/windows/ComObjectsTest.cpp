// The engine and Config objects in this process, through COM exactly as a
// client calls them: IDispatch by name, the vtable, the connection point and
// the class factories.

#include "CComMorrowick.h"
#include "CMorrowick.h"
#include "CSettings.h"
#include "ClassObjects.h"
#include "ComSupport.h"
#include "ComTestSupport.h"
#include "Contract.h"

#include <functional>
#include <gtest/gtest.h>
#include <mwservice.h>
#include <olectl.h>
#include <string>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;
using MW::CSettings;
using MW::Test::CBstr;
using MW::Test::CRecordingSink;
using MW::Test::CVariant;

namespace {

class ComObjects : public ::testing::Test {
protected:
    void SetUp() override {
        CSettings::destroyInstance();
        ASSERT_EQ(MW::COM::engineClassFactory()->CreateInstance(nullptr, IID_IMorrowick,
                                                                 &m_engine),
                  S_OK);
        ComPtr<IDispatch> config;
        ASSERT_EQ(m_engine->get_Config(&config), S_OK);
        ASSERT_EQ(config.As(&m_config), S_OK);
        ASSERT_EQ(m_engine.As(&m_container), S_OK);
        ASSERT_EQ(m_container->FindConnectionPoint(DIID_IMorrowickEvents, &m_point), S_OK);
    }
    void TearDown() override {
        m_point.Reset();
        m_container.Reset();
        m_config.Reset();
        m_engine.Reset();
        // The factory lets go of its engine object; the next test gets a new one.
        MW::COM::revokeClassObjects();
        CSettings::destroyInstance();
    }
    // One IDispatch call by name.
    HRESULT invoke(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* argument,
                   VARIANT* result) {
        DISPID id = 0;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr))
            return hr;
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS params{argument, argument && (flags & DISPATCH_PROPERTYPUT) ? &put : nullptr,
                          argument ? 1u : 0u,
                          argument && (flags & DISPATCH_PROPERTYPUT) ? 1u : 0u};
        EXCEPINFO exception{};
        hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception,
                            nullptr);
        return hr == DISP_E_EXCEPTION ? exception.scode : hr;
    }

    ComPtr<IMorrowick> m_engine;
    ComPtr<IConfig> m_config;
    ComPtr<IConnectionPointContainer> m_container;
    ComPtr<IConnectionPoint> m_point;
};

TEST_F(ComObjects, EveryPropertyIsReachedByNameAndWritesItsOwnField) {
    CSettings& s = *CSettings::getInstance();
    // Each property gets a value of its own, so that one landing in another's
    // field shows.
    struct SCase {
        const wchar_t* name;
        std::function<void(VARIANT&)> value;
        std::function<std::string()> stored;
        std::string expected;
    };
    auto bstr = [](const wchar_t* t) {
        return [t](VARIANT& v) {
            v.vt = VT_BSTR;
            v.bstrVal = ::SysAllocString(t);
        };
    };
    auto i4 = [](LONG n) { return [n](VARIANT& v) { v.vt = VT_I4; v.lVal = n; }; };
    const std::vector<SCase> cases{
        {L"ScanFolder", bstr(L"C:\\plans"), [&] { return s.getScanFolder(); }, "C:\\plans"},
        {L"FileTypes", bstr(L".bak"), [&] { return s.getFileTypes(); }, ".bak"},
        {L"OtherFileTypes", bstr(L".tmp"), [&] { return s.getOtherFileTypes(); }, ".tmp"},
        // A fixed day long past (1999-07-04 06:00): the object stores what it is given.
        {L"StartTime", [](VARIANT& v) { v.vt = VT_DATE; v.date = 36345.25; },
         [&] { return std::to_string(s.getStartTime()); }, std::to_string(36345.25)},
        {L"DeleteAge", i4(42), [&] { return std::to_string(s.getDeleteAge()); }, "42"},
        {L"LastScan", bstr(L"03/15/24"), [&] { return s.getLastScan(); }, "03/15/24"},
        {L"CleanedSpace", [](VARIANT& v) { v.vt = VT_UI8; v.ullVal = (1ULL << 32) + 9; },
         [&] { return std::to_string(s.getCleanedSpace()); }, std::to_string((1ULL << 32) + 9)},
        {L"ContactName", bstr(L"Zo\u00eb"), [&] { return s.getContactName(); }, "Zo\xC3\xAB"},
        {L"ContactEmail", bstr(L"z@example.org"), [&] { return s.getContactEmail(); },
         "z@example.org"},
        {L"ProxyServer", bstr(L"proxy.lan"), [&] { return s.getProxyServer(); }, "proxy.lan"},
        {L"ProxyPort", bstr(L"3128"), [&] { return s.getProxyPort(); }, "3128"},
        {L"ProxyUsage", i4(5), [&] { return std::to_string(s.getProxyUsage()); }, "1"},
        {L"ProxySysUsage", i4(0), [&] { return std::to_string(s.getProxySysUsage()); }, "0"},
        {L"ProxySysServer", bstr(L"sys:8080"), [&] { return s.getProxySysServer(); }, "sys:8080"},
        {L"ProxySysBypass", bstr(L"<local>"), [&] { return s.getProxySysBypass(); }, "<local>"},
        {L"ProxySysAccessType", [](VARIANT& v) { v.vt = VT_UI4; v.ulVal = 3; },
         [&] { return std::to_string(s.getProxySysAccessType()); }, "3"},
    };
    for (const SCase& c : cases) {
        CVariant value, ignored, back;
        c.value(value.v);
        EXPECT_EQ(invoke(m_config.Get(), c.name, DISPATCH_PROPERTYPUT, &value.v, &ignored.v), S_OK)
            << c.name;
        EXPECT_EQ(c.stored(), c.expected) << c.name;
        ASSERT_EQ(invoke(m_config.Get(), c.name, DISPATCH_PROPERTYGET, nullptr, &back.v), S_OK)
            << c.name;
        // Read back in its own type (the booleans as 1 or 0).
        CVariant expected;
        c.value(expected.v);
        EXPECT_EQ(back.v.vt, expected.v.vt) << c.name;
    }
    // The engine's properties too, with their DISPIDs.
    for (const wchar_t* name : {L"Config", L"UndeletedLog", L"UndeletedCount", L"ActivityState"}) {
        CVariant back;
        EXPECT_EQ(invoke(m_engine.Get(), name, DISPATCH_PROPERTYGET, nullptr, &back.v), S_OK)
            << name;
    }
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"ActivityState"),
                        const_cast<LPOLESTR>(L"UndeletedCount")};
    DISPID ids[2] = {};
    for (int i = 0; i < 2; ++i)
        m_engine->GetIDsOfNames(IID_NULL, &names[i], 1, LOCALE_USER_DEFAULT, &ids[i]);
    EXPECT_EQ(ids[0], 11);
    EXPECT_EQ(ids[1], 5);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(m_engine->GetTypeInfo(1, LOCALE_USER_DEFAULT, &info), DISP_E_BADINDEX);
}

TEST_F(ComObjects, ConfigWritesKeepTextsAndRefuseWhatIsNoValue) {
    // (Null texts, the folder's bound and StartTime as a date text: ServiceTest,
    // across processes.) A text is kept up to its first NUL.
    EXPECT_EQ(m_config->put_FileTypes(CBstr(std::wstring(L".bak\0.dwl", 9)).get()), S_OK);
    EXPECT_EQ(CSettings::getInstance()->getFileTypes(), ".bak");

    // StartTime: what the system cannot convert to a date, or a number beyond
    // the dates, changes nothing.
    CVariant date, huge, object, read;
    date.v.vt = VT_DATE;
    date.v.date = 36526.5;
    ASSERT_EQ(m_config->put_StartTime(date.v), S_OK);
    huge.v.vt = VT_R8;
    huge.v.dblVal = 1e12;
    EXPECT_TRUE(FAILED(m_config->put_StartTime(huge.v)));
    object.v.vt = VT_UNKNOWN;
    object.v.punkVal = nullptr;
    EXPECT_TRUE(FAILED(m_config->put_StartTime(object.v)));
    ASSERT_EQ(m_config->get_StartTime(&read.v), S_OK);
    EXPECT_EQ(read.v.vt, VT_DATE);
    EXPECT_DOUBLE_EQ(read.v.date, 36526.5);

    // Null out-pointers and a stopping service.
    EXPECT_EQ(m_config->get_ScanFolder(nullptr), E_POINTER);
    EXPECT_EQ(m_engine->get_Config(nullptr), E_POINTER);
    ASSERT_TRUE(MW::COM::closeObjects(std::chrono::seconds(1)));
    EXPECT_EQ(m_config->put_ContactEmail(CBstr(L"late").get()), CO_E_SERVER_STOPPING);
    MW::COM::openObjects();
}

TEST_F(ComObjects, TheFactoryHandsOutOneEngineWhichAnswersOnlyItsInterfaces) {
    ComPtr<IUnknown> again, first;
    ASSERT_EQ(MW::COM::engineClassFactory()->CreateInstance(nullptr, IID_IUnknown, &again), S_OK);
    m_engine.As(&first);
    EXPECT_EQ(first.Get(), again.Get());
    ComPtr<IUnknown> outer = first, aggregated;
    EXPECT_EQ(MW::COM::engineClassFactory()->CreateInstance(outer.Get(), IID_IUnknown, &aggregated),
              CLASS_E_NOAGGREGATION);
    // Two Config objects, one record.
    ComPtr<IDispatch> other;
    ComPtr<IConfig> otherConfig;
    ASSERT_EQ(m_engine->get_Config(&other), S_OK);
    ASSERT_EQ(other.As(&otherConfig), S_OK);
    EXPECT_NE(otherConfig.Get(), m_config.Get());
    ASSERT_EQ(otherConfig->put_ProxyPort(CBstr(L"8080").get()), S_OK);
    CBstr port;
    m_config->get_ProxyPort(port.put());
    EXPECT_EQ(port.text(), L"8080");

    for (const IID& iid : {IID_IMorrowick, IID_IDispatch, IID_IConnectionPointContainer}) {
        ComPtr<IUnknown> answered;
        EXPECT_EQ(m_engine->QueryInterface(iid, &answered), S_OK);
    }
    for (const IID& iid : {IID_IProvideClassInfo, IID_ISupportErrorInfo, IID_IConnectionPoint}) {
        ComPtr<IUnknown> answered;
        EXPECT_EQ(m_engine->QueryInterface(iid, &answered), E_NOINTERFACE);
    }
}

TEST_F(ComObjects, ConnectionsTakeTheFirstFreeSlotAndUnknownCookiesAreRefused) {
    CRecordingSink sinks[6];
    DWORD cookies[5] = {};
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(m_point->Advise(&sinks[i], &cookies[i]), S_OK);
    EXPECT_EQ(std::vector<DWORD>(cookies, cookies + 5), (std::vector<DWORD>{1, 2, 3, 4, 5}));
    EXPECT_EQ(MW::Objects::getMorrowick()->connectionPoint().slotCount(), 8);
    EXPECT_EQ(m_point->Unadvise(2), S_OK);
    EXPECT_EQ(sinks[1].references(), 0u);
    DWORD reused = 0;
    ASSERT_EQ(m_point->Advise(&sinks[5], &reused), S_OK);
    EXPECT_EQ(reused, 2u);
    EXPECT_EQ(m_point->Unadvise(0), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(m_point->Unadvise(9), CONNECT_E_NOCONNECTION);

    ComPtr<IEnumConnections> connections;
    ASSERT_EQ(m_point->EnumConnections(&connections), S_OK);
    CONNECTDATA data[8] = {};
    ULONG fetched = 0;
    EXPECT_EQ(connections->Next(8, data, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 5u);
    EXPECT_EQ(data[1].dwCookie, 2u);
    EXPECT_EQ(data[1].pUnk, static_cast<IUnknown*>(&sinks[5]));
    for (ULONG i = 0; i < fetched; ++i)
        data[i].pUnk->Release();
    connections.Reset();

    // A sink must answer for the event interface itself.
    CRecordingSink plainDispatch(false);
    DWORD cookie = 0;
    EXPECT_EQ(m_point->Advise(&plainDispatch, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(m_point->Advise(nullptr, &cookie), E_POINTER);
    ComPtr<IConnectionPoint> none;
    EXPECT_EQ(m_container->FindConnectionPoint(IID_IDispatch, &none), CONNECT_E_NOCONNECTION);
    IID iid{};
    EXPECT_EQ(m_point->GetConnectionInterface(&iid), S_OK);
    EXPECT_EQ(iid, DIID_IMorrowickEvents);
    for (DWORD c : {1u, 2u, 3u, 4u, 5u})
        EXPECT_EQ(m_point->Unadvise(c), S_OK);
    for (const CRecordingSink& sink : sinks)
        EXPECT_EQ(sink.references(), 0u);
}

TEST_F(ComObjects, EventsReachEverySinkInTheirFormPastAFailingOne) {
    CRecordingSink failing(true, true), sink;
    DWORD first = 0, second = 0;
    ASSERT_EQ(m_point->Advise(&failing, &first), S_OK);
    ASSERT_EQ(m_point->Advise(&sink, &second), S_OK);
    CSettings::getInstance()->setCleanedSpace((1ULL << 33) + 1);
    for (const EFireEvent event :
         {eFE_ScanStarted, eFE_UpdateCleanedSpace, eFE_ScanFinished, eFE_Test, eFE_None,
          static_cast<EFireEvent>(5), static_cast<EFireEvent>(7)})
        EXPECT_EQ(m_engine->fireEvent(event), S_OK);
    EXPECT_EQ(sink.ids(), (std::vector<DISPID>{1, 3, 2, 4}));
    EXPECT_EQ(failing.ids(), sink.ids());
    for (const auto& call : sink.calls()) {
        EXPECT_TRUE(call.nullIid);
        EXPECT_EQ(call.lcid, LOCALE_USER_DEFAULT);
        EXPECT_EQ(call.flags, DISPATCH_METHOD);
        EXPECT_EQ(call.namedArgs, 0u);
        EXPECT_EQ(call.argTypes,
                  call.id == 3 ? std::vector<VARTYPE>{VT_UI8} : std::vector<VARTYPE>{});
    }
    // The total held at the moment of the event.
    EXPECT_EQ(sink.calls()[1].total, (1ULL << 33) + 1);
    m_point->Unadvise(first);
    m_point->Unadvise(second);
}

} // namespace
