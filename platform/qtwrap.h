// Qt widgets inside windows: how the editing controls (edits, memos, and
// the long lists) are made of a Qt widget while staying windows of the
// window layer. Only sources that already use Qt include this.
//
// The wrapped widget is a child of the window's own widget and fills its
// client area; it follows the window's size, visibility and enabled state
// and has Qt's focus whenever the window has ours. Keyboard input the widget
// receives does not reach it directly: it becomes our WM_KEYDOWN / WM_CHAR
// messages to the window, through the queue, the application's message hook
// and the window procedure, so a control (or a subclass, or the key
// preview) can refuse a key or a character. What reaches the window's
// default handling is handed back to the widget with Replay (navigation and
// editing keys) or applied by the control's procedure (characters, paste).
// Mouse input goes to the widget and is also posted as our mouse messages;
// a widget wrapped with routeMouse gets its mouse buttons only through our
// messages, handed back with ReplayMouse, so that the application's message
// hook can keep a click from it. Widgets the wrapped one makes later (a web
// page's view) are handled as those it had at the start.
#pragma once

#include "platform/windef.h"

class QKeyEvent;
class QWidget;

namespace platform {

// Puts the widget into the window; the window owns it from then on and
// deletes it when it is destroyed.
void WrapQtWidget(HWND hwnd, QWidget *widget, bool routeMouse = false);
// The wrapped widget of a window, or null.
QWidget *WrappedWidget(HWND hwnd);
// The window whose wrapped widget this is (or one of its children), or null.
HWND WindowOfWrapped(const QWidget *widget);
// Hands a key message back to the wrapped widget as the Qt key event it
// stands for (it is then not turned into a message again).
void ReplayKey(HWND hwnd, UINT message, WPARAM virtualKey, LPARAM lParam);
// Hands a character (WM_CHAR) to the wrapped widget as typed text.
void ReplayChar(HWND hwnd, WPARAM character);
// Hands a mouse button message of a routeMouse window back to the widget
// under its point.
void ReplayMouse(HWND hwnd, UINT message, WPARAM keys, LPARAM lParam);
// Keeps the wrapped widget's geometry in step with the window's client area
// (the wrapping control's procedure calls it on WM_SIZE).
void FitWrapped(HWND hwnd);

}  // namespace platform
