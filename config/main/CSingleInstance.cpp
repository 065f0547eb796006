#include "CSingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QStandardPaths>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace MW {
namespace {

const QString kName = QStringLiteral("org.morrowick.Configurator");
const QString kPath = QStringLiteral("/org/morrowick/Configurator");
// The first instance may be busy starting (connecting to the service); the
// second one does not wait for it longer than this.
constexpr int kShowTimeoutMs = 5000;

} // namespace

CSingleInstance::CSingleInstance(QObject* parent) : QObject(parent) {}

CSingleInstance::~CSingleInstance() {
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

QString CSingleInstance::lockFilePath() {
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QDir(dir).filePath(QStringLiteral("mwconfig.lock"));
}

CSingleInstance::EClaim CSingleInstance::claim() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return claimLockFile() ? EClaim::eC_First : EClaim::eC_Other;

    // The object first, so that a second start never finds the name without it.
    bus.registerObject(kPath, this, QDBusConnection::ExportScriptableSlots);
    const auto reply =
        bus.interface()->registerService(kName, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return EClaim::eC_First;

    bus.unregisterObject(kPath);
    const QDBusMessage show =
        QDBusMessage::createMethodCall(kName, kPath, kName, QStringLiteral("Show"));
    bus.call(show, QDBus::Block, kShowTimeoutMs);
    return EClaim::eC_Other;
}

bool CSingleInstance::claimLockFile() {
    const QByteArray path = QFile::encodeName(lockFilePath());
    m_lockFd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // Without a place for the lock, run rather than refuse to start at all.
    if (m_lockFd < 0)
        return true;
    // The lock goes with the process, so a crashed instance leaves none behind.
    return ::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0;
}

void CSingleInstance::Show() {
    emit showRequested();
}

} // namespace MW
