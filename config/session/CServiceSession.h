#pragma once

#include "CMWObserver.h"
#include "CServiceLink.h"
#include "CSession.h"
#include "ConfigValues.h"
#include "ISessionView.h"
#include "SessionAdapters.h"

#include <QObject>

namespace MW {

// Exit statuses of the configurator (8-bit forms of -1, -2, -3).
enum EExitStatus : int {
    eES_Normal = 0,
    eES_SaveFailed = 1,           // the settings could not be saved before the end
    eES_Exit = 255,               // "Exit" from the tray menu, end of the desktop session
    eES_ServiceUnreachable = 254, // the service cannot be reached
    eES_CloseRequest = 253,       // SIGTERM / SIGINT
};

// The configurator's session with the service over the bus, without widgets.
// Its rules (connecting, loading and saving, reconnecting once, the read-only
// view, the reactions to the events and to changes the service announces) are
// Client::CSession's; this class gives that session the bus link and the
// window's view, follows the Config object's PropertiesChanged, bounds the end
// save with the link's deadline and tells Qt when a load has completed.
class CServiceSession : public QObject {
    Q_OBJECT
public:
    explicit CServiceSession(ISessionView& view, QObject* parent = nullptr);
    ~CServiceSession() override;

    // Subscribes to the events, asks for the access, loads every value and hands
    // the Overview its reference. false when the program is ending (the service
    // could not be reached: the view was told to end with 254).
    bool ConnectService(bool showErrors) { return m_session.ConnectService(showErrors); }
    // The Config object for one transfer; a failure is reported (when
    // showErrors) and followed by one new connection, and nothing is returned.
    std::unique_ptr<Client::IConfigObject> AcquireConfig(bool showErrors) {
        return m_session.AcquireConfig(showErrors);
    }
    void LoadSettings(bool showErrors) { m_session.LoadSettings(showErrors); }
    // Writes what the user changed; true when everything changed was written
    // (or nothing had to be). Before a load has completed it writes nothing
    // and loads instead.
    bool SaveSettings(bool showErrors) { return m_session.SaveSettings(showErrors); }
    // The same within `budgetMs` in all, the calls of a reconnection included,
    // for the end of the program: a failed reconnection does not end the program
    // from inside. false, with lastError() saying why, when something was left
    // unwritten.
    bool SaveSettingsWithin(int budgetMs, bool showErrors);

    // Reactions to the service's events.
    void OnScanStarted() { m_session.OnScanStarted(); }
    void OnScanFinished() { m_session.OnScanFinished(); }
    void OnUpdateCleanedSpace(quint64 total) { m_session.OnUpdateCleanedSpace(total); }
    void OnTest() { m_session.OnTest(); }

    // No connection, load or save from now on.
    void setEnding() { m_session.setEnding(); }
    bool isEnding() const { return m_session.isEnding(); }
    bool isReadOnly() const { return m_session.isReadOnly(); }
    // Whether a load has completed since the start.
    bool isLoaded() const { return m_session.isLoaded(); }
    // The settings last loaded or announced: what the service holds, as far as
    // this program knows.
    const Client::SSettingsValues& loadedSettings() const { return m_session.loadedSettings(); }
    QString lastError() const;

    CServiceLink& link() { return m_link; }
    CMWObserver& observer() { return m_observer; }

signals:
    // A load has completed (values shown, activity state read).
    void settingsLoaded();

private:
    void onConfigChanged(const QString& name, const QVariant& value);
    void onConfigInvalidated(const QString& name);

    CServiceLink m_link;
    CMWObserver m_observer;
    CBusSessionLink m_sessionLink{m_link, m_observer};
    CQtSessionView m_sessionView;
    Client::CSession m_session;
};

} // namespace MW
