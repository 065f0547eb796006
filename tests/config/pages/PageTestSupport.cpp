#include "PageTestSupport.h"

#include "Spin.h"
#include "SystemProxy.h"

#include <QApplication>
#include <QDir>
#include <QWidget>
#include <cstdlib>
#include <gtest/gtest.h>

namespace MW::Test {

void showActive(QWidget* widget) {
    QWidget* window = widget->window();
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    spinUntil([&] { return window->isActiveWindow(); }, 5000);
}

void moveFocus(QWidget* from, QWidget* to) {
    showActive(from);
    from->setFocus(Qt::OtherFocusReason);
    spinUntil([&] { return from->hasFocus(); }, 5000);
    EXPECT_TRUE(from->hasFocus());
    // Synchronous: `from` sees its focus loss (and any message box it shows has
    // been answered) before this returns.
    to->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
}

void setSystemProxy(const QString& proxy, const QString& bypass, bool unreadable) {
    for (const char* name :
         {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
        qunsetenv(name);
    if (!proxy.isEmpty())
        qputenv("https_proxy", proxy.toUtf8());
    if (!bypass.isEmpty())
        qputenv("no_proxy", bypass.toUtf8());
    // A folder stands for a file that exists but cannot be read, even by root.
    Cxx::Network::Http::HttpClient::SetMachineEnvironmentFile(
        unreadable ? QDir::tempPath().toStdString() : "/nonexistent/mw-pages-test/environment");
}

ScratchDir::ScratchDir() {
    QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/mwpages-XXXXXX";
    if (::mkdtemp(pattern.data()))
        m_path = QString::fromLocal8Bit(pattern);
}

ScratchDir::~ScratchDir() {
    if (!m_path.isEmpty())
        QDir(m_path).removeRecursively();
}

QString ScratchDir::path(const QString& name) const {
    return name.isEmpty() ? m_path : m_path + QLatin1Char('/') + name;
}

} // namespace MW::Test
