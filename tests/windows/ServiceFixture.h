#pragma once
// The real mwservice.exe in the test's Wine prefix: registered by its verbs,
// started by the service control manager (or by COM as a plain local server)
// when this process, a separate client, activates the engine. Each test copies
// the program into a folder of its own, so its files live there, and removes
// every registration at the end.

#include "ComSupport.h"
#include "ComTestSupport.h"
#include "Contract.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <mwservice.h>
#include <optional>
#include <string>
#include <wrl/client.h>

namespace MW::Test {

extern const std::wstring kAppIdKey;
extern const std::wstring kEngineKey;
extern const std::wstring kConfigKey;

// Runs a program and returns its exit code (every call bounded in time).
DWORD run(const std::wstring& commandLine);
// A string value (the default value for a null name) under the classes root.
std::optional<std::wstring> classesValue(const std::wstring& key, const wchar_t* name = nullptr);
bool classesKey(const std::wstring& key);
// The service's state; 0 when it is not installed.
DWORD serviceState();
// Sends the stop control and waits until the service has stopped, cleanly.
void stopService();
// The bytes of `text` in UTF-16, as the settings file holds texts.
std::string utf16(const std::wstring& text);

class Service : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    DWORD verb(const std::wstring& arguments) { return run(L"\"" + m_exe + L"\" " + arguments); }
    // The engine and a Config object, from the local server.
    void activate();
    DWORD advise(CRecordingSink& sink);
    std::wstring text(HRESULT (STDMETHODCALLTYPE IConfig::*get)(BSTR*));
    double startTime();
    std::string log() { return readFile(m_dir / "mwservice.log"); }

    // Declared first, so that they outlive the apartment that may call them.
    CRecordingSink m_sink, m_otherSink;
    CComApartment m_com;
    TempDir m_dir;
    std::wstring m_dirWide = COM::widen(m_dir.path());
    std::wstring m_exe = m_dirWide + L"\\mwservice.exe";
    std::wstring m_client = L"\"" + std::wstring(MW_COM_CLIENT_EXE) + L"\"";
    Microsoft::WRL::ComPtr<IMorrowick> m_engine;
    Microsoft::WRL::ComPtr<IConfig> m_config;
};

} // namespace MW::Test
