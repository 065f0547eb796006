#pragma once

#include "CMWObserver.h"
#include "CServiceLink.h"
#include "ConfigValues.h"
#include "ISessionView.h"

#include <QObject>
#include <optional>

namespace MW {

// Exit statuses of the configurator (8-bit forms of -1, -2, -3).
enum EExitStatus : int {
    eES_Normal = 0,
    eES_SaveFailed = 1,           // the settings could not be saved before the end
    eES_Exit = 255,               // "Exit" from the tray menu, end of the desktop session
    eES_ServiceUnreachable = 254, // the service cannot be reached
    eES_CloseRequest = 253,       // SIGTERM / SIGINT
};

// The configurator's session with the service, without widgets: connecting
// (activation, the access question, the events, the values), loading and saving
// the settings, reconnecting once after a failed call, the read-only view and
// the reactions to the service's events. The window only shows and feeds it,
// through ISessionView.
//
// What a save writes: only the settings the user changed since they were last
// loaded or announced by the service (PropertiesChanged), so that another
// client's change is not undone; and nothing before a load has completed.
class CServiceSession : public QObject {
    Q_OBJECT
public:
    explicit CServiceSession(ISessionView& view, QObject* parent = nullptr);
    ~CServiceSession() override;

    // Subscribes to the events, asks for the access, loads every value and hands
    // the Overview its reference. false when the program is ending (the service
    // could not be reached: the view was told to end with 254).
    bool ConnectService(bool showErrors);
    // The Config object for one transfer; a failure is reported (when
    // showErrors) and followed by one new connection, and nothing is returned.
    std::unique_ptr<CConfigRef> AcquireConfig(bool showErrors);
    void LoadSettings(bool showErrors);
    // Writes what the user changed; true when everything changed was written
    // (or nothing had to be). A reconnection on the way keeps the user's edits
    // over the values it loads. Before a load has completed it writes nothing
    // (the pages hold no value of the service's) and loads instead.
    bool SaveSettings(bool showErrors);
    // The same within `budgetMs` in all, the calls of a reconnection included,
    // for the end of the program: a failed reconnection does not end the program
    // from inside. false, with lastError() saying why, when something was left
    // unwritten.
    bool SaveSettingsWithin(int budgetMs, bool showErrors);

    // Reactions to the service's events.
    void OnScanStarted();
    void OnScanFinished();
    void OnUpdateCleanedSpace(quint64 total);
    void OnTest();

    // No connection, load or save from now on.
    void setEnding() { m_bEnding = true; }
    bool isEnding() const { return m_bEnding; }
    bool isReadOnly() const { return m_bReadOnly; }
    // Whether a load has completed since the start.
    bool isLoaded() const { return m_bLoaded; }
    // The settings last loaded or announced: what the service holds, as far as
    // this program knows.
    const Client::SSettingsValues& loadedSettings() const { return m_loaded; }
    const QString& lastError() const { return m_strLastError; }

    CServiceLink& link() { return m_link; }
    CMWObserver& observer() { return m_observer; }

    static const QString kConnectFailed;
    static const QString kUnavailablePrefix;
    static const QString kUnavailableSuffix;

signals:
    // A load has completed (values shown, activity state read).
    void settingsLoaded();

private:
    void reportCallFailure(const QString& text, bool showErrors);
    void queryAccess(bool showErrors);
    bool writeChanges(bool showErrors);
    void onConfigChanged(const QString& name, const QVariant& value);
    void onConfigInvalidated(const QString& name);
    void follow(Client::EProperty property, const Client::PropertyValue& value);

    ISessionView& m_view;
    CServiceLink m_link;
    CMWObserver m_observer;
    // The settings last loaded or announced: what the user's edits are edits of.
    Client::SSettingsValues m_loaded;
    // While a save reconnects: the user's values and what they were edits of,
    // put back over the values the reconnection loads.
    std::optional<std::pair<Client::SSettingsValues, Client::SSettingsValues>> m_keep;
    QString m_strLastError;
    int m_nConnecting = 0;
    bool m_bLoading = false;
    bool m_bLoaded = false;
    bool m_bReadOnly = false;
    bool m_bEnding = false;
    bool m_bBounded = false; // inside SaveSettingsWithin
};

} // namespace MW
