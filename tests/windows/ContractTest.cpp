// The COM contract has one source of truth for its names and numbers with the
// bus contract: the type library carried by mwservice.exe, the widl header's
// identifiers, Contract.h and org.morrowick.xml must name the same members in
// the same order with the same DISPIDs and GUIDs.

#include "ComTestSupport.h"
#include "Contract.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <map>
#include <mwservice.h>
#include <regex>
#include <string>
#include <vector>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;
using MW::Test::guidOf;

namespace {

struct SMember {
    std::string name;
    int id = 0;
    INVOKEKIND kind = INVOKE_FUNC;
    bool operator==(const SMember&) const = default;
};

void PrintTo(const SMember& m, std::ostream* os) {
    *os << m.name << "#" << m.id << "/" << m.kind;
}

struct SXmlInterface {
    std::string guid;
    std::vector<SMember> members; // as the type library lists them
};

// org.morrowick.xml by interface ("IMorrowick", "IConfig", "IMorrowickEvents").
std::map<std::string, SXmlInterface> readXmlContract() {
    const std::string xml = MW::Test::readFile(MW_CONTRACT_XML);
    std::map<std::string, SXmlInterface> result;
    const std::regex interfaceRe(R"re(<interface name="org\.morrowick\.(\w+)">([\s\S]*?)</interface>)re");
    const std::regex guidRe(R"re(<annotation name="org\.morrowick\.Guid" value="([^"]+)"/>)re");
    const std::regex memberRe(
        R"re(<(property|method|signal) name="(\w+)"([^>]*)>([\s\S]*?)</(property|method|signal)>)re");
    const std::regex idRe(R"re(org\.morrowick\.DispId" value="(\d+)")re");
    for (std::sregex_iterator it(xml.begin(), xml.end(), interfaceRe), end; it != end; ++it) {
        SXmlInterface& entry = result[(*it)[1]];
        const std::string body = (*it)[2];
        std::smatch match;
        if (std::regex_search(body, match, guidRe))
            entry.guid = match[1];
        for (std::sregex_iterator m(body.begin(), body.end(), memberRe); m != end; ++m) {
            const std::string kind = (*m)[1], name = (*m)[2], attrs = (*m)[3], inner = (*m)[4];
            std::smatch id;
            EXPECT_TRUE(std::regex_search(inner, id, idRe)) << name << " has no DispId";
            const int dispId = std::stoi(id[1]);
            if (kind != "property") {
                entry.members.push_back({name, dispId, INVOKE_FUNC});
                continue;
            }
            entry.members.push_back({name, dispId, INVOKE_PROPERTYGET});
            if (attrs.find("readwrite") != std::string::npos)
                entry.members.push_back({name, dispId, INVOKE_PROPERTYPUT});
        }
    }
    return result;
}

std::string nameOf(ITypeInfo* info, MEMBERID id) {
    MW::Test::CBstr name;
    info->GetDocumentation(id, name.put(), nullptr, nullptr, nullptr);
    const std::wstring wide = name.text();
    return std::string(wide.begin(), wide.end());
}

// The members the type information declares itself, in vtable order.
std::vector<SMember> membersOf(ITypeInfo* info) {
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    std::vector<SMember> result;
    for (WORD i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* func = nullptr;
        info->GetFuncDesc(i, &func);
        result.push_back({nameOf(info, func->memid), static_cast<int>(func->memid), func->invkind});
        info->ReleaseFuncDesc(func);
    }
    info->ReleaseTypeAttr(attr);
    return result;
}

class Contract : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::LoadTypeLibEx(MW_SERVICE_EXE, REGKIND_NONE, &m_lib), S_OK)
            << "mwservice.exe carries no type library";
    }
    ComPtr<ITypeInfo> info(const char* guid) {
        ComPtr<ITypeInfo> result;
        EXPECT_EQ(m_lib->GetTypeInfoOfGuid(guidOf(guid), &result), S_OK) << guid;
        return result;
    }
    // The vtable description of a dual interface.
    ComPtr<ITypeInfo> vtableInfo(const char* guid) {
        ComPtr<ITypeInfo> dispatch = info(guid), result;
        HREFTYPE ref = 0;
        EXPECT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
        EXPECT_EQ(dispatch->GetRefTypeInfo(ref, &result), S_OK);
        return result;
    }
    ComPtr<ITypeLib> m_lib;
};

TEST_F(Contract, LibraryAndIdentifiersAreTheContractsEverywhere) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(m_lib->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, guidOf(MW::LIBID_mwserviceLib));
    EXPECT_EQ(attr->wMajorVerNum, MW::kLibVersionMajor);
    EXPECT_EQ(attr->wMinorVerNum, MW::kLibVersionMinor);
    m_lib->ReleaseTLibAttr(attr);
    MW::Test::CBstr name;
    m_lib->GetDocumentation(-1, name.put(), nullptr, nullptr, nullptr);
    EXPECT_EQ(name.text(), L"mwserviceLib");

    // The widl header's identifiers, which the code uses.
    EXPECT_EQ(LIBID_mwserviceLib, guidOf(MW::LIBID_mwserviceLib));
    EXPECT_EQ(IID_IMorrowick, guidOf(MW::IID_IMorrowick));
    EXPECT_EQ(IID_IConfig, guidOf(MW::IID_IConfig));
    EXPECT_EQ(DIID_IMorrowickEvents, guidOf(MW::IID_IMorrowickEvents));
    EXPECT_EQ(CLSID_Morrowick, guidOf(MW::CLSID_Morrowick));
    EXPECT_EQ(CLSID_Config, guidOf(MW::CLSID_Config));

    // The bus contract's annotations.
    const auto xml = readXmlContract();
    EXPECT_EQ(xml.at("IMorrowick").guid, MW::IID_IMorrowick);
    EXPECT_EQ(xml.at("IConfig").guid, MW::IID_IConfig);
    EXPECT_EQ(xml.at("IMorrowickEvents").guid, MW::IID_IMorrowickEvents);
}

TEST_F(Contract, InterfacesListTheBusContractsMembersInOrderWithItsDispIds) {
    const auto xml = readXmlContract();
    for (const auto& [name, guid] : {std::pair{"IMorrowick", MW::IID_IMorrowick},
                                     std::pair{"IConfig", MW::IID_IConfig}}) {
        ComPtr<ITypeInfo> dispatch = info(guid);
        TYPEATTR* attr = nullptr;
        dispatch->GetTypeAttr(&attr);
        EXPECT_EQ(attr->typekind, TKIND_DISPATCH) << name;
        const WORD wanted = TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE;
        EXPECT_EQ(attr->wTypeFlags & wanted, wanted) << name;
        dispatch->ReleaseTypeAttr(attr);
        ComPtr<ITypeInfo> vtable = vtableInfo(guid);
        vtable->GetTypeAttr(&attr);
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION) << name;
        vtable->ReleaseTypeAttr(attr);
        EXPECT_EQ(membersOf(vtable.Get()), xml.at(name).members) << name;
    }
    ComPtr<ITypeInfo> events = info(MW::IID_IMorrowickEvents);
    EXPECT_EQ(membersOf(events.Get()), xml.at("IMorrowickEvents").members);

    // And Contract.h's numbers are the same.
    namespace D = MW::DispId;
    const std::map<std::string, int> engine{{"Config", D::Config},     {"fireEvent", D::fireEvent},
                                            {"scanNow", D::scanNow},   {"UndeletedLog", D::UndeletedLog},
                                            {"UndeletedCount", D::UndeletedCount},
                                            {"ActivityState", D::ActivityState}};
    const std::map<std::string, int> config{
        {"ScanFolder", D::ScanFolder},         {"FileTypes", D::FileTypes},
        {"OtherFileTypes", D::OtherFileTypes}, {"StartTime", D::StartTime},
        {"DeleteAge", D::DeleteAge},           {"LastScan", D::LastScan},
        {"CleanedSpace", D::CleanedSpace},     {"ContactName", D::ContactName},
        {"ContactEmail", D::ContactEmail},     {"ProxyServer", D::ProxyServer},
        {"ProxyPort", D::ProxyPort},           {"ProxyUsage", D::ProxyUsage},
        {"ProxySysUsage", D::ProxySysUsage},   {"ProxySysServer", D::ProxySysServer},
        {"ProxySysBypass", D::ProxySysBypass}, {"ProxySysAccessType", D::ProxySysAccessType}};
    const std::map<std::string, int> signals{{"scanStarted", D::scanStarted},
                                             {"scanFinished", D::scanFinished},
                                             {"updateCleanedSpace", D::updateCleanedSpace},
                                             {"test", D::test}};
    for (const auto& [name, ids] : {std::pair{"IMorrowick", engine}, std::pair{"IConfig", config},
                                    std::pair{"IMorrowickEvents", signals}}) {
        std::map<std::string, int> fromXml;
        for (const SMember& member : xml.at(name).members)
            fromXml[member.name] = member.id;
        EXPECT_EQ(fromXml, ids) << name;
    }
}

TEST_F(Contract, TypesEnumerationsAndClassesAreTheContracts) {
    // updateCleanedSpace carries an unsigned 64-bit total; CleanedSpace is one too.
    ComPtr<ITypeInfo> events = info(MW::IID_IMorrowickEvents);
    FUNCDESC* func = nullptr;
    ASSERT_EQ(events->GetFuncDesc(2, &func), S_OK);
    ASSERT_EQ(func->cParams, 1);
    EXPECT_EQ(func->lprgelemdescParam[0].tdesc.vt, VT_UI8);
    events->ReleaseFuncDesc(func);

    const std::map<std::wstring, std::map<std::wstring, int>> enums{
        {L"EFireEvent",
         {{L"eFE_None", MW::eFE_None}, {L"eFE_ScanStarted", MW::eFE_ScanStarted},
          {L"eFE_ScanFinished", MW::eFE_ScanFinished},
          {L"eFE_UpdateCleanedSpace", MW::eFE_UpdateCleanedSpace}, {L"eFE_Test", MW::eFE_Test}}},
        {L"EActivityState", {{L"eAS_Idle", MW::eAS_Idle}, {L"eAS_Busy", MW::eAS_Busy}}},
        {L"EDeleteAge",
         {{L"eDA_Day", MW::eDA_Day}, {L"eDA_Week", MW::eDA_Week}, {L"eDA_Month", MW::eDA_Month},
          {L"eDA_3Month", MW::eDA_3Month}, {L"eDA_6Month", MW::eDA_6Month},
          {L"eDA_Year", MW::eDA_Year}, {L"eDA_None", MW::eDA_None}}}};
    std::map<std::wstring, std::map<std::wstring, int>> found;
    std::map<std::wstring, std::wstring> helpStrings;
    std::map<std::wstring, std::pair<GUID, WORD>> classes;
    for (UINT i = 0; i < m_lib->GetTypeInfoCount(); ++i) {
        ComPtr<ITypeInfo> type;
        m_lib->GetTypeInfo(i, &type);
        MW::Test::CBstr name, help;
        m_lib->GetDocumentation(static_cast<INT>(i), name.put(), help.put(), nullptr, nullptr);
        helpStrings[name.text()] = help.text();
        TYPEATTR* attr = nullptr;
        type->GetTypeAttr(&attr);
        if (attr->typekind == TKIND_COCLASS)
            classes[name.text()] = {attr->guid, attr->wTypeFlags};
        for (WORD v = 0; attr->typekind == TKIND_ENUM && v < attr->cVars; ++v) {
            VARDESC* var = nullptr;
            type->GetVarDesc(v, &var);
            MW::Test::CBstr valueName;
            type->GetDocumentation(var->memid, valueName.put(), nullptr, nullptr, nullptr);
            found[name.text()][valueName.text()] = var->lpvarValue->lVal;
            type->ReleaseVarDesc(var);
        }
        type->ReleaseTypeAttr(attr);
    }
    for (const auto& [name, values] : enums)
        EXPECT_EQ(found[name], values);
    EXPECT_EQ(helpStrings[L"EFireEvent"], L"What event to be fired.");
    EXPECT_EQ(helpStrings[L"EDeleteAge"], L"Of what age files to be deleted.");
    EXPECT_EQ(helpStrings[L"IMorrowick"], L"IMorrowick Interface");

    ASSERT_EQ(classes.count(L"Morrowick"), 1u);
    ASSERT_EQ(classes.count(L"Config"), 1u);
    EXPECT_EQ(classes[L"Morrowick"].first, guidOf(MW::CLSID_Morrowick));
    EXPECT_EQ(classes[L"Config"].first, guidOf(MW::CLSID_Config));
    EXPECT_TRUE(classes[L"Morrowick"].second & TYPEFLAG_FCANCREATE);
    EXPECT_FALSE(classes[L"Config"].second & TYPEFLAG_FCANCREATE); // noncreatable
    // The engine's default interface and its default source, the events.
    ComPtr<ITypeInfo> engine = info(MW::CLSID_Morrowick);
    std::vector<std::pair<std::string, int>> implemented;
    for (UINT i = 0; i < 2; ++i) {
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> type;
        INT flags = 0;
        engine->GetRefTypeOfImplType(i, &ref);
        engine->GetRefTypeInfo(ref, &type);
        engine->GetImplTypeFlags(i, &flags);
        implemented.emplace_back(nameOf(type.Get(), MEMBERID_NIL), flags);
    }
    EXPECT_EQ(implemented, (std::vector<std::pair<std::string, int>>{
                               {"IMorrowick", IMPLTYPEFLAG_FDEFAULT},
                               {"IMorrowickEvents", IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}}));
}

} // namespace
