#pragma once

#include <QObject>

class QSocketNotifier;

namespace MW {

// Turns SIGTERM and SIGINT (the close request of another program, Ctrl+C) into
// a Qt signal on the GUI thread, where saving the settings is safe.
class ExitSignals : public QObject {
    Q_OBJECT
public:
    explicit ExitSignals(QObject* parent = nullptr);
    ~ExitSignals() override;

signals:
    void closeRequested(int signalNumber);

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace MW
