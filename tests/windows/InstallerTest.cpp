// The real setup program in a Wine prefix of its own, made fresh for these
// tests: silent installation, an upgrade over an older build, the uninstaller
// as the system's list of programs would run it, and the local group's list of
// users.

#include "ServiceFixture.h"
#include "UserList.h"
#include "Wait.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <knownfolders.h>
#include <shlobj.h>

namespace MW::Test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const wchar_t* const kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morrowick";
const wchar_t* const kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

fs::path knownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    fs::path result;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path)))
        result = path;
    ::CoTaskMemFree(path);
    return result;
}

std::optional<std::wstring> machineString(const wchar_t* key, const wchar_t* name) {
    wchar_t buffer[1024];
    DWORD size = sizeof buffer;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

std::optional<DWORD> machineDword(const wchar_t* key, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

struct SServiceConfig {
    DWORD startType = 0;
    std::wstring binaryPath;
};

std::optional<SServiceConfig> serviceConfig() {
    const SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    const SC_HANDLE service = ::OpenServiceW(manager, L"mwservice", SERVICE_QUERY_CONFIG);
    std::optional<SServiceConfig> result;
    alignas(QUERY_SERVICE_CONFIGW) BYTE buffer[8192];
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer);
    DWORD needed = 0;
    if (service && ::QueryServiceConfigW(service, config, sizeof buffer, &needed))
        result = SServiceConfig{config->dwStartType, config->lpBinaryPathName};
    if (service)
        ::CloseServiceHandle(service);
    ::CloseServiceHandle(manager);
    return result;
}

std::string fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Installer : public ::testing::Test {
protected:
    void SetUp() override {
        // A test that failed half-way leaves nothing for the next one.
        removeAll();
        ASSERT_FALSE(fs::exists(m_dir)) << "a previous installation could not be removed";
    }
    void TearDown() override { removeAll(); }

    DWORD install(const wchar_t* setup, const std::wstring& options = {}) {
        return run(L"\"" + std::wstring(setup) + L"\" /S" + (options.empty() ? L"" : L" " + options));
    }

    // Runs the uninstaller as the list of programs does, from its registered
    // command. It copies itself elsewhere and returns at once; the copy removes
    // the uninstall entry as its last step.
    bool uninstall(const std::wstring& options = {}) {
        const auto command = machineString(kUninstallKey, L"QuietUninstallString");
        if (!command)
            return false;
        if (run(*command + (options.empty() ? L"" : L" " + options)) != 0)
            return false;
        return waitUntil([&] {
            return !machineString(kUninstallKey, L"DisplayName") &&
                   !fs::exists(m_dir / L"uninstall.exe");
        }, 120s);
    }

    void removeAll() {
        if (machineString(kUninstallKey, L"QuietUninstallString")) {
            EXPECT_TRUE(uninstall(L"/REMOVESETTINGS"));
        }
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    // The engine's ContactName, written by another process through COM: the
    // installed service is reached as any client reaches it.
    DWORD setContact(const std::wstring& name) {
        return run(L"\"" + std::wstring(MW_COM_CLIENT_EXE) + L"\" set-contact \"" + name + L"\"");
    }
    std::wstring contact() {
        CComApartment com;
        Microsoft::WRL::ComPtr<IMorrowick> engine;
        Microsoft::WRL::ComPtr<IDispatch> dispatch;
        Microsoft::WRL::ComPtr<IConfig> config;
        CBstr name;
        EXPECT_EQ(::CoCreateInstance(::CLSID_Morrowick, nullptr, CLSCTX_LOCAL_SERVER,
                                     ::IID_IMorrowick, &engine),
                  S_OK);
        if (!engine || engine->get_Config(&dispatch) != S_OK || dispatch.As(&config) != S_OK)
            return L"<no Config object>";
        EXPECT_EQ(config->get_ContactName(name.put()), S_OK);
        return name.text();
    }

    void expectServiceRunsFromTheInstallation() {
        const auto config = serviceConfig();
        ASSERT_TRUE(config);
        EXPECT_EQ(config->startType, static_cast<DWORD>(SERVICE_AUTO_START));
        EXPECT_EQ(config->binaryPath, L"\"" + (m_dir / L"mwservice.exe").wstring() + L"\"");
        EXPECT_EQ(classesValue(kAppIdKey, L"LocalService"), L"mwservice");
        EXPECT_TRUE(classesKey(kEngineKey));
        EXPECT_TRUE(classesKey(kConfigKey));
        EXPECT_TRUE(waitUntil([] { return serviceState() == SERVICE_RUNNING; }, 60s));
    }

    const fs::path m_dir = knownFolder(FOLDERID_ProgramFiles) / L"Morrowick";
    const fs::path m_shortcut = knownFolder(FOLDERID_CommonPrograms) / L"Morrowick Configurator.lnk";
};

TEST_F(Installer, SilentInstallRegistersTheServiceClassesAndEntries) {
    ASSERT_EQ(install(MW_SETUP_EXE), 0u);

    EXPECT_TRUE(fs::exists(m_dir / L"mwservice.exe"));
    EXPECT_TRUE(fs::exists(m_dir / L"uninstall.exe"));
    expectServiceRunsFromTheInstallation();

    // Another process reaches the installed engine, and the settings it
    // changed land beside the installed program when the service stops.
    ASSERT_EQ(setContact(L"Installed silently"), 0u);
    EXPECT_EQ(contact(), L"Installed silently");
    stopService();
    EXPECT_NE(fileBytes(m_dir / L"settings.mwk").find(utf16(L"Installed silently")),
              std::string::npos);

    const std::wstring quoted = L"\"" + (m_dir / L"uninstall.exe").wstring() + L"\"";
    EXPECT_EQ(machineString(kUninstallKey, L"DisplayName"), L"Morrowick");
    EXPECT_EQ(machineString(kUninstallKey, L"DisplayVersion"), MW_PROJECT_VERSION);
    EXPECT_EQ(machineString(kUninstallKey, L"Publisher"), L"Morrowick");
    EXPECT_EQ(machineString(kUninstallKey, L"InstallLocation"), m_dir.wstring());
    EXPECT_EQ(machineString(kUninstallKey, L"UninstallString"), quoted);
    EXPECT_EQ(machineString(kUninstallKey, L"QuietUninstallString"), quoted + L" /S");
    // In KiB, at least the service's program.
    const auto size = machineDword(kUninstallKey, L"EstimatedSize");
    ASSERT_TRUE(size);
    EXPECT_GE(*size, fs::file_size(m_dir / L"mwservice.exe") / 1024);

    EXPECT_TRUE(fs::exists(m_dir / L"mwconfig.exe"));
    EXPECT_EQ(machineString(kRunKey, L"Morrowick Configurator"),
              L"\"" + (m_dir / L"mwconfig.exe").wstring() + L"\" /hide");
    EXPECT_TRUE(fs::exists(m_shortcut));
}

TEST_F(Installer, UpgradeOverAnOlderBuildKeepsTheSettings) {
    ASSERT_EQ(install(MW_SETUP_OLDER_EXE), 0u);
    ASSERT_EQ(machineString(kUninstallKey, L"DisplayVersion"), MW_SETUP_OLDER_VERSION);
    // Held by the running service only: the upgrade's stop must save it.
    ASSERT_EQ(setContact(L"Kept across the upgrade"), 0u);

    ASSERT_EQ(install(MW_SETUP_EXE), 0u);

    EXPECT_EQ(machineString(kUninstallKey, L"DisplayVersion"), MW_PROJECT_VERSION);
    expectServiceRunsFromTheInstallation();
    EXPECT_EQ(contact(), L"Kept across the upgrade");
    EXPECT_NE(fileBytes(m_dir / L"settings.mwk").find(utf16(L"Kept across the upgrade")),
              std::string::npos);
    // The programs were replaced, not set aside for a restart.
    EXPECT_FALSE(fs::exists(m_dir / L"mwservice.exe.old"));
}

TEST_F(Installer, SilentUninstallRemovesAllButTheSettings) {
    ASSERT_EQ(install(MW_SETUP_EXE), 0u);
    ASSERT_EQ(setContact(L"Kept after removal"), 0u);

    ASSERT_TRUE(uninstall());

    EXPECT_EQ(serviceState(), 0u);
    EXPECT_FALSE(serviceConfig());
    EXPECT_FALSE(classesKey(kAppIdKey));
    EXPECT_FALSE(classesKey(kEngineKey));
    EXPECT_FALSE(classesKey(kConfigKey));
    EXPECT_FALSE(machineString(kUninstallKey, L"UninstallString"));
    EXPECT_FALSE(machineString(kRunKey, L"Morrowick Configurator"));
    EXPECT_FALSE(fs::exists(m_shortcut));
    EXPECT_FALSE(fs::exists(m_dir / L"mwservice.exe"));
    EXPECT_FALSE(fs::exists(m_dir / L"mwconfig.exe"));
    EXPECT_FALSE(fs::exists(m_dir / L"uninstall.exe"));
    // The uninstaller stopped the service, which saved what it held.
    EXPECT_NE(fileBytes(m_dir / L"settings.mwk").find(utf16(L"Kept after removal")),
              std::string::npos);

    // Installed again, the service takes the kept settings up.
    ASSERT_EQ(install(MW_SETUP_EXE), 0u);
    EXPECT_EQ(contact(), L"Kept after removal");
}

TEST_F(Installer, UninstallAskedToRemoveTheSettingsLeavesNoFolder) {
    ASSERT_EQ(install(MW_SETUP_EXE), 0u);
    ASSERT_EQ(setContact(L"Removed"), 0u);

    ASSERT_TRUE(uninstall(L"/REMOVESETTINGS"));

    EXPECT_FALSE(fs::exists(m_dir));
    EXPECT_EQ(serviceState(), 0u);
}

TEST_F(Installer, ABadListOfUsersInstallsNothing) {
    for (const wchar_t* users : {L"/USERS=alice,,bob", L"/USERS=", L"/USERS=ali:ce"}) {
        SCOPED_TRACE(users);
        EXPECT_EQ(install(MW_SETUP_EXE, users), 2u);
        EXPECT_FALSE(fs::exists(m_dir / L"mwservice.exe"));
        EXPECT_FALSE(machineString(kUninstallKey, L"DisplayName"));
        EXPECT_FALSE(serviceConfig());
    }
    // A sound list installs (Wine accepts any name into a local group).
    EXPECT_EQ(install(MW_SETUP_EXE, L"/USERS=alice,bob"), 0u);
    EXPECT_TRUE(serviceConfig());
}

} // namespace

TEST(UserList, SplitsTrimsAndKeepsEachAccountOnce) {
    const Setup::SUserList list = Setup::parseUserList(L" alice,\tOFFICE\\bob , ALICE,carol ");
    EXPECT_TRUE(list.error.empty());
    EXPECT_EQ(list.names, (std::vector<std::wstring>{L"alice", L"OFFICE\\bob", L"carol"}));
    EXPECT_EQ(Setup::parseUserList(L"Jürgen").names, std::vector<std::wstring>{L"Jürgen"});
}

TEST(UserList, RejectsEmptyEntriesAndWhatNoAccountIsCalled) {
    for (const wchar_t* text : {L"", L"  ", L",", L"alice,", L",alice", L"alice,,bob", L"alice, ,bob",
                                L"ali/ce", L"a\"b", L"a:b", L"a*", L"\\bob", L"OFFICE\\",
                                L"A\\B\\c", L"a\tb\x01"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(text)));
        const Setup::SUserList list = Setup::parseUserList(text);
        EXPECT_FALSE(list.error.empty());
        EXPECT_TRUE(list.names.empty());
    }
}

} // namespace MW::Test
