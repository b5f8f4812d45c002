#pragma once

// Lets a window's own shortcuts win over the key bindings of a focused text field.
// A line edit claims keys such as Ctrl+E (end of line) or Ctrl+A (select all) under
// some keyboard schemes, and then the window's command with that key never runs. For
// the listed actions, while enabled, the claim is refused, so the command runs as a
// menu accelerator does, wherever the focus is in the window.

#include <QList>
#include <QObject>
#include <QPointer>

class QAction;
class QWidget;

class ShortcutPriority : public QObject {
    Q_OBJECT
public:
    ShortcutPriority(QWidget* window, QList<QAction*> actions, QObject* parent = nullptr);
    ~ShortcutPriority() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    QList<QPointer<QAction>> m_actions;
};
