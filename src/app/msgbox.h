#pragma once
// Every message box of the program goes through MsgBox(): one place that
// shows it and one place where the tests answer it.

#include <QString>
#include <functional>

namespace app {

// Style values as the boxes are described: buttons plus icon, added together.
enum MsgStyle : int {
    vbOKOnly = 0,
    vbYesNo = 4,
    vbCritical = 16,   // stop icon
    vbQuestion = 32,
    vbExclamation = 48,
};

// What a box returns: the button that closed it.
enum MsgResult : int {
    vbOK = 1,
    vbYes = 6,
    vbNo = 7,
};

// Shows a modal box and returns the button pressed. A carriage return in
// the text is its line break. While a responder is installed, the box is
// not shown and the responder's answer is returned instead.
int MsgBox(const QString &text, int style, const QString &title);

using MsgBoxResponder = std::function<int(const QString &text, int style, const QString &title)>;

// Installs a responder (an empty one restores the real boxes) and returns
// the one it replaces.
MsgBoxResponder setMsgBoxResponder(MsgBoxResponder responder);

// The application's title, used on the failure boxes.
QString appTitle();

} // namespace app
