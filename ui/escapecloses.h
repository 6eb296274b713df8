#pragma once
// Escape closes a window of its own, as it closes a dialog: the port setting, the line
// traffic, the graph, the help and the keypad windows.

class QWidget;

namespace kaldor {

// Escape, pressed anywhere in window while it is the active window, closes it.
void closeOnEscape(QWidget* window);

} // namespace kaldor
