#pragma once

#include <QObject>
#include <QString>

namespace MW {

// One configurator per desktop session. The first instance owns the name
// org.morrowick.Configurator on the session bus and offers Show() there; a
// second start asks it to show its window. Without a session bus a lock file
// in $XDG_RUNTIME_DIR keeps the rule, and a second start can show nothing.
class CSingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.morrowick.Configurator")
public:
    enum class EClaim { eC_First, eC_Other };

    explicit CSingleInstance(QObject* parent = nullptr);
    ~CSingleInstance() override;

    // Becomes the first instance, or, when another one runs, asks it to show
    // its window (on the bus) and reports eC_Other.
    EClaim claim();
    // The lock file used when there is no session bus.
    static QString lockFilePath();

public slots:
    // Called over the bus by a second start.
    Q_SCRIPTABLE void Show();

signals:
    void showRequested();

private:
    bool claimLockFile();

    int m_lockFd = -1;
};

} // namespace MW
