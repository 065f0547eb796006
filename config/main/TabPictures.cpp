#include "TabPictures.h"

#include "CMainDlg.h"
#include "CProxyDlg.h"
#include "CSettingsDlg.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QThread>
#include <cstdio>

namespace MW {

namespace {

// Lets the window system map and paint what was just shown.
void settle() {
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

bool save(QWidget& widget, const QString& path) {
    settle();
    const bool ok = widget.grab().save(path, "PNG");
    std::printf("%s %s\n", ok ? "saved" : "could not save", qPrintable(path));
    return ok;
}

} // namespace

int saveScreenshots(CMainDlg& window, const QString& dir) {
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "mwconfig: cannot create %s\n", qPrintable(dir));
        return 1;
    }
    static const char* const kTabNames[] = {"overview", "settings", "contact"};
    window.Show();
    bool ok = true;
    QTabWidget* tabs = window.tabs();
    for (int i = 0; i < tabs->count() && i < 3; ++i) {
        tabs->setCurrentIndex(i);
        ok = save(window, QDir(dir).filePath(QStringLiteral("mwconfig-%1-%2.png")
                                                 .arg(i + 1)
                                                 .arg(QLatin1String(kTabNames[i])))) &&
             ok;
    }
    // The proxy dialog is shown without its modal loop and closed unchanged.
    CProxyDlg& proxy = window.settings().proxyDlg();
    proxy.show();
    ok = save(proxy, QDir(dir).filePath(QStringLiteral("mwconfig-4-proxy.png"))) && ok;
    proxy.reject();
    tabs->setCurrentIndex(0);
    return ok ? 0 : 1;
}

} // namespace MW
