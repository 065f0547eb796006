#pragma once
// What the configurator's session shows and takes: the window's side of it,
// with no widget in sight, so that the session can be driven without pixels.

#include "CSession.h"

#include <QString>
#include <QtGlobal>

namespace MW {

class CServiceLink;

class ISessionView {
public:
    // The session's own kinds of message box, so that its messages pass unchanged.
    using EOwner = Client::ISessionView::EOwner;
    using EIcon = Client::ISessionView::EIcon;

    virtual ~ISessionView() = default;

    // A message box, answered before this returns.
    virtual void ShowMessage(EOwner owner, EIcon icon, const QString& text,
                             const QString& caption) = 0;

    // The settings the pages show, read without side effects.
    virtual Client::SSettingsValues ShownSettings() = 0;
    // The settings a save writes: as shown, and a typed folder becomes the
    // page's folder (it is sent unchecked, as the user left it).
    virtual Client::SSettingsValues SettingsToSave() = 0;
    // Every setting into the pages (after a load).
    virtual void ShowSettings(const Client::SSettingsValues& values) = 0;
    // One setting into the pages (a change in the service the user had not edited).
    virtual void ShowSetting(Client::EProperty property, const Client::SSettingsValues& values) = 0;
    // The Contact tab's proxy for its request.
    virtual void SetContactProxy(const Client::SContactProxy& proxy) = 0;
    virtual void SetLastScan(const QString& text) = 0;
    virtual void SetCleanedSpace(quint64 bytes) = 0;
    // A scan runs: the start time and the scan buttons are disabled meanwhile.
    virtual void SetScanRunning(bool running) = 0;
    // Whether the service refuses this user's changes, and the group that may.
    virtual void SetReadOnly(bool readOnly, const QString& group) = 0;
    // Whether the pages hold the service's values (a load has completed); until
    // then they invite no edits.
    virtual void SetLoaded(bool loaded) = 0;
    // The Overview's reference for its commands; null while not connected.
    virtual void SetEngine(CServiceLink* engine) = 0;
    // The notification after a scan that left files behind.
    virtual void AnnounceUndeleted(qint32 count, const QString& listPath) = 0;
    // The service cannot be reached: the program ends with `status`, saving nothing.
    virtual void EndProgram(int status) = 0;
};

} // namespace MW
