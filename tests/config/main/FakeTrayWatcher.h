#pragma once
// A minimal org.kde.StatusNotifierWatcher on the test's bus: with it, Qt finds a
// tray host and registers its tray icon as a status-notifier item, which the
// test can then drive over the bus as a desktop panel would.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QStringList>

namespace MW::Test {

class FakeTrayWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    explicit FakeTrayWatcher(const std::string& busAddress);
    ~FakeTrayWatcher() override;

    bool ok() const { return m_ok; }
    // Registered items that are still on the bus ("service" or "service/path").
    QStringList items() const { return m_items; }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QDBusConnection& bus() { return m_bus; }

public slots:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message);
    void RegisterStatusNotifierHost(const QString& service);

signals:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();

private:
    QDBusConnection m_bus;
    QDBusServiceWatcher m_owners;
    QStringList m_items;
    bool m_ok = false;
};

} // namespace MW::Test
