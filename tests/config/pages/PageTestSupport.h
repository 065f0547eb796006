#pragma once
// Small helpers shared by the page tests.

#include <QString>

class QWidget;

namespace MW::Test {

// Shows the widget's window and makes it active, so that focus changes happen
// as they do on a desktop.
void showActive(QWidget* widget);
// Gives `from` the focus, then moves it to `to`: `from` sees a real focus loss.
void moveFocus(QWidget* from, QWidget* to);
// What the system proxy reader finds: `proxy` in https_proxy (none when empty),
// `bypass` in no_proxy, and no machine-wide file; or, with `unreadable`, a
// machine file that cannot be read and nothing in the environment.
void setSystemProxy(const QString& proxy, const QString& bypass = QString(),
                    bool unreadable = false);

// A fresh directory for the test's files, removed with it.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    QString path(const QString& name = QString()) const;

private:
    QString m_path;
};

} // namespace MW::Test
