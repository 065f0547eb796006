#pragma once

#include <QApplication>
#include <functional>

class QWidget;

namespace MW::Test {

// Polls (from the event loop a modal dialog runs) for an active modal window of
// type T and hands it to `action` once. A test must answer every dialog it opens.
void whenModalWidget(std::function<bool(QWidget*)> attempt);
void cancelWhenModal();

template <typename T> void whenModal(std::function<void(T*)> action) {
    whenModalWidget([action](QWidget* widget) {
        T* dialog = qobject_cast<T*>(widget);
        if (dialog == nullptr)
            return false;
        action(dialog);
        return true;
    });
}

} // namespace MW::Test
