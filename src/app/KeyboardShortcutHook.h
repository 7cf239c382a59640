#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

// The program's keyboard table, as an application-wide key filter: Delete, Ctrl+Delete,
// Ctrl+A, Ctrl+O, Ctrl+R and F1 reach the main window's dispatcher as commands, and F6 pauses.
// The table acts only while the main window is the active window and, for the keys that also
// edit text, while the focus is not in a text field, so typing in a tag field or a dialog never
// deletes or renames recordings. The function keys act from text fields too.
// Held keys repeat their command with every auto-repeated press.
class CKeyboardShortcutHook : public QObject
{
    Q_OBJECT

public:
    // Installs itself on the application for its lifetime.
    explicit CKeyboardShortcutHook(QWidget* mainWindow);
    ~CKeyboardShortcutHook() override;

    // The command a key press stands for, or 0.
    static int CommandFor(int key, Qt::KeyboardModifiers modifiers);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_mainWindow;
};
