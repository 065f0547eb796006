#pragma once
// The configurator's session with the service, without a toolkit or a transport:
// connecting (the engine, the events, the access question, the values), loading
// and saving the settings, reconnecting once after a failed call, the read-only
// view and the reactions to the service's events. A front end supplies the link
// to the service (IServiceLink) and shows the session through ISessionView.
//
// What a save writes: only the settings the user changed since they were last
// loaded or announced by the service, so that another client's change is not
// undone; and nothing before a load has completed, so that a failed load never
// puts the pages' defaults over the service's settings.

#include "ConfigTransfer.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace MW::Client {

// A failed call to the service; what() is the text the messages show after
// their fixed part (UTF-8). Links may throw any std::exception: the session
// shows its what().
class CCallFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the service lets this user do.
struct SAccess {
    bool mayChange = true;
    std::string group; // the group that may change it; empty when not said
};

// The service as the session reaches it. Every call but createEngine and the
// advise pair throws on failure.
class IServiceLink {
public:
    virtual ~IServiceLink() = default;
    // Drops the engine reference held, then creates (and if need be starts) the
    // engine. false when the service cannot be reached.
    virtual bool createEngine() = 0;
    virtual bool hasEngine() const = 0;
    // The Config object for one transfer.
    virtual std::unique_ptr<IConfigObject> Config() = 0;
    virtual SAccess Access() = 0;
    virtual std::int32_t ActivityState() = 0;
    virtual std::int32_t UndeletedCount() = 0;
    virtual std::string UndeletedLog() = 0;
    // Subscribes the event sink to the current engine; the message to show
    // when that failed (the sink then stays unsubscribed), else empty.
    virtual std::string AdviseEngine() = 0;
    virtual void UnadviseEngine() = 0;
};

class ISessionView {
public:
    enum class EOwner { MainWindow, SettingsPage, None };
    enum class EIcon { Error, None };

    virtual ~ISessionView() = default;
    // A message box, answered before this returns.
    virtual void ShowMessage(EOwner owner, EIcon icon, const std::string& text,
                             const std::string& caption) = 0;
    // The settings the pages show, read without side effects.
    virtual SSettingsValues ShownSettings() = 0;
    // The settings a save writes: as shown, a typed folder taken as typed.
    virtual SSettingsValues SettingsToSave() = 0;
    virtual void ShowSettings(const SSettingsValues& values) = 0;
    virtual void ShowSetting(EProperty property, const SSettingsValues& values) = 0;
    virtual void SetContactProxy(const SContactProxy& proxy) = 0;
    virtual void SetLastScan(const std::string& text) = 0;
    virtual void SetCleanedSpace(std::uint64_t bytes) = 0;
    // A scan runs: the start time and the scan buttons are disabled meanwhile.
    virtual void SetScanRunning(bool running) = 0;
    virtual void SetReadOnly(bool readOnly, const std::string& group) = 0;
    // Whether the pages hold the service's values; until then they invite no edits.
    virtual void SetLoaded(bool loaded) = 0;
    // Whether the Overview's commands have an engine to call.
    virtual void SetConnected(bool connected) = 0;
    virtual void AnnounceUndeleted(std::int32_t count, const std::string& listPath) = 0;
    // The service cannot be reached: the program ends with `status`, saving nothing.
    virtual void EndProgram(int status) = 0;
    // A load has completed.
    virtual void SettingsLoaded() {}
};

class CSession {
public:
    static const char* const kConnectFailed;
    static const char* const kUnavailablePrefix;
    static const char* const kUnavailableSuffix;
    static const char* const kErrorCaption;
    static const char* const kTestText;
    static const char* const kTestCaption;

    // `unreachableStatus`: the exit status EndProgram gets when the service
    // cannot be reached.
    CSession(IServiceLink& link, ISessionView& view, SystemProxyReader readSystemProxy,
             int unreachableStatus);
    ~CSession();

    // Subscribes to the events, asks for the access and loads every value.
    // false when the program is ending.
    bool ConnectService(bool showErrors);
    // The Config object for one transfer; a failure is reported (when
    // showErrors) and followed by one new connection, and nothing is returned.
    std::unique_ptr<IConfigObject> AcquireConfig(bool showErrors);
    void LoadSettings(bool showErrors);
    // Writes what the user changed; true when all of it was written (or nothing
    // had to be). Before a load has completed it loads instead.
    bool SaveSettings(bool showErrors);
    // For the end of the program: a failed reconnection does not end the program
    // from inside, and nothing is loaded instead of a save.
    bool SaveSettingsAtEnd(bool showErrors);

    void OnScanStarted();
    void OnScanFinished();
    void OnUpdateCleanedSpace(std::uint64_t total);
    void OnTest();
    // A setting changed in the service (announced by it).
    void OnConfigChanged(EProperty property, const PropertyValue& value);
    // A setting changed in the service without its new value being told: it is
    // read again and followed as above. A failed read is left to the next call
    // the user makes, which reports it.
    void OnConfigInvalidated(EProperty property);

    void setEnding() { m_bEnding = true; }
    bool isEnding() const { return m_bEnding; }
    bool isReadOnly() const { return m_bReadOnly; }
    bool isLoaded() const { return m_bLoaded; }
    const SSettingsValues& loadedSettings() const { return m_loaded; }
    const std::string& lastError() const { return m_strLastError; }

private:
    void reportCallFailure(const std::string& text, bool showErrors);
    void queryAccess(bool showErrors);
    bool writeChanges(bool showErrors);

    IServiceLink& m_link;
    ISessionView& m_view;
    SystemProxyReader m_readSystemProxy;
    int m_nUnreachableStatus;
    SSettingsValues m_loaded;
    // While a save reconnects: the user's values and what they were edits of.
    std::optional<std::pair<SSettingsValues, SSettingsValues>> m_keep;
    std::string m_strLastError;
    int m_nConnecting = 0;
    bool m_bLoading = false;
    bool m_bLoaded = false;
    bool m_bReadOnly = false;
    bool m_bEnding = false;
    bool m_bAtEnd = false;
};

} // namespace MW::Client
