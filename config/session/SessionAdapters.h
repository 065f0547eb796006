#pragma once
// The two sides of the toolkit-free session (Client::CSession) as the Qt
// configurator has them: the bus link with its event sink, and the window's
// view. They carry calls across, converting QString <-> UTF-8; the rules of
// connecting, loading and saving stay in Client::CSession.

#include "CMWObserver.h"
#include "CServiceLink.h"
#include "CSession.h"
#include "ISessionView.h"

#include <functional>

namespace MW {

// Client::IServiceLink over CServiceLink (calls, CConfigRef) and CMWObserver
// (the event subscription). A failed call throws CCallError, whose what() is
// the text the messages show.
class CBusSessionLink final : public Client::IServiceLink {
public:
    CBusSessionLink(CServiceLink& link, CMWObserver& observer)
        : m_link(link), m_observer(observer) {}

    bool createEngine() override { return m_link.createEngine(); }
    bool hasEngine() const override { return m_link.hasEngine(); }
    std::unique_ptr<Client::IConfigObject> Config() override { return m_link.Config(); }
    // A service that names no group is changed by members of the default one.
    Client::SAccess Access() override;
    std::int32_t ActivityState() override { return m_link.ActivityState(); }
    std::int32_t UndeletedCount() override { return m_link.UndeletedCount(); }
    std::string UndeletedLog() override;
    std::string AdviseEngine() override;
    void UnadviseEngine() override { m_observer.UnadviseEngine(); }

private:
    CServiceLink& m_link;
    CMWObserver& m_observer;
};

// Client::ISessionView over the window's ISessionView. "Connected" hands the
// Overview the link for its commands; a completed load calls `loaded`.
class CQtSessionView final : public Client::ISessionView {
public:
    CQtSessionView(MW::ISessionView& view, CServiceLink& link, std::function<void()> loaded)
        : m_view(view), m_link(link), m_loaded(std::move(loaded)) {}

    void ShowMessage(EOwner owner, EIcon icon, const std::string& text,
                     const std::string& caption) override;
    Client::SSettingsValues ShownSettings() override { return m_view.ShownSettings(); }
    Client::SSettingsValues SettingsToSave() override { return m_view.SettingsToSave(); }
    void ShowSettings(const Client::SSettingsValues& values) override { m_view.ShowSettings(values); }
    void ShowSetting(Client::EProperty property, const Client::SSettingsValues& values) override {
        m_view.ShowSetting(property, values);
    }
    void SetContactProxy(const Client::SContactProxy& proxy) override {
        m_view.SetContactProxy(proxy);
    }
    void SetLastScan(const std::string& text) override;
    void SetCleanedSpace(std::uint64_t bytes) override { m_view.SetCleanedSpace(bytes); }
    void SetScanRunning(bool running) override { m_view.SetScanRunning(running); }
    void SetReadOnly(bool readOnly, const std::string& group) override;
    void SetLoaded(bool loaded) override { m_view.SetLoaded(loaded); }
    void SetConnected(bool connected) override { m_view.SetEngine(connected ? &m_link : nullptr); }
    void AnnounceUndeleted(std::int32_t count, const std::string& listPath) override;
    void EndProgram(int status) override { m_view.EndProgram(status); }
    void SettingsLoaded() override { m_loaded(); }

private:
    MW::ISessionView& m_view;
    CServiceLink& m_link;
    std::function<void()> m_loaded;
};

} // namespace MW
