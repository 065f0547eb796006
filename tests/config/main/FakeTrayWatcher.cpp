#include "FakeTrayWatcher.h"

namespace MW::Test {

FakeTrayWatcher::FakeTrayWatcher(const std::string& busAddress)
    : m_bus(QDBusConnection::connectToBus(QString::fromStdString(busAddress),
                                          QStringLiteral("fake-tray-watcher"))) {
    m_owners.setConnection(m_bus);
    m_owners.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&m_owners, &QDBusServiceWatcher::serviceUnregistered, this,
            [this](const QString& name) {
                for (const QString& item : QStringList(m_items)) {
                    if (item.section(QLatin1Char('/'), 0, 0) == name) {
                        m_items.removeAll(item);
                        emit StatusNotifierItemUnregistered(item);
                    }
                }
                m_owners.removeWatchedService(name);
            });
    m_ok = m_bus.isConnected() &&
           m_bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                QDBusConnection::ExportAllSlots |
                                    QDBusConnection::ExportAllProperties |
                                    QDBusConnection::ExportAllSignals) &&
           m_bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
}

FakeTrayWatcher::~FakeTrayWatcher() {
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-tray-watcher"));
}

void FakeTrayWatcher::RegisterStatusNotifierItem(const QString& service,
                                                 const QDBusMessage& message) {
    // An item names its bus name or its object path; the sender owns it.
    const QString item =
        service.startsWith(QLatin1Char('/')) ? message.service() + service : service;
    if (m_items.contains(item))
        return;
    m_items << item;
    m_owners.addWatchedService(message.service());
    emit StatusNotifierItemRegistered(item);
}

void FakeTrayWatcher::RegisterStatusNotifierHost(const QString&) {
    emit StatusNotifierHostRegistered();
}

} // namespace MW::Test
