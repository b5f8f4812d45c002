#pragma once

#include <QObject>
#include <QString>
#include <QWidget>
#include <QtGlobal>
#include <memory>
#include <type_traits>

// A control of a window found by its object name, as the operator's manual names
// it: the tests reach controls as the window names them, not through its members.
// A missing or ambiguous name stops the test program at once.
template <class T>
T* Find(const QObject* window, const char* name) {
    auto found = window->findChildren<T*>(QString::fromLatin1(name));
    // The dialogs are children of the window too; their controls are not the window's.
    if constexpr (std::is_base_of_v<QWidget, T>)
        found.removeIf([window](T* control) { return control->window() != window; });
    if (found.size() != 1)
        qFatal("control %s: %d found", name, int(found.size()));
    return found.front();
}

template <class T, class W>
T* Find(const std::unique_ptr<W>& window, const char* name) {
    return Find<T>(window.get(), name);
}
