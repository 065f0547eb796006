#pragma once
// The main window in the test's own process, against the real service on a
// private bus; every message box is answered and recorded.

#include "CMainDlg.h"
#include "MessageBoxes.h"
#include "QtPrint.h"
#include "ServiceEnvironment.h"
#include "Spin.h"

#include <memory>

namespace MW::Test {

class MainFixture : public ServiceTest {
protected:
    // Creates the window and runs its initialisation (connection included).
    std::unique_ptr<CMainDlg> start() {
        auto dialog = std::make_unique<CMainDlg>();
        dialog->OnInitDialog();
        return dialog;
    }
    // The messages shown so far whose text contains `part`.
    int messagesWith(const QString& part) const {
        int count = 0;
        for (const QString& text : boxes.texts())
            count += text.contains(part) ? 1 : 0;
        return count;
    }
    static QString quoted(const std::string& busctlValue) {
        // busctl's `s "text"` -> text
        const auto first = busctlValue.find('"');
        const auto last = busctlValue.rfind('"');
        if (first == std::string::npos || last <= first)
            return {};
        return QString::fromStdString(busctlValue.substr(first + 1, last - first - 1));
    }

    MessageBoxRecorder boxes;
};

} // namespace MW::Test
