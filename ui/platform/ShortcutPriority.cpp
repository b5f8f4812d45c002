#include "ui/platform/ShortcutPriority.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

ShortcutPriority::ShortcutPriority(QWidget* window, QList<QAction*> actions, QObject* parent)
    : QObject(parent), m_window(window) {
    for (QAction* a : actions)
        m_actions << a;
    // The focused field gets the override request first; only the application sees it before.
    QCoreApplication::instance()->installEventFilter(this);
}

ShortcutPriority::~ShortcutPriority() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool ShortcutPriority::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ShortcutOverride || !m_window || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != m_window)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence pressed(key->keyCombination());
    for (const QPointer<QAction>& a : m_actions)
        if (a && a->isEnabled() && a->shortcut() == pressed)
            return true; // refused: the shortcut map then triggers the action
    return false;
}
