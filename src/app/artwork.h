#pragma once
// The program's pictures, drawn in code: the round lamps and the window icon.

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace app {

// A round 16 x 16 lamp in the given colour with a small white highlight.
QPixmap lampPixmap(const QColor &colour, int size = 16);

// The window icon: a small GSM unit with its antenna, drawn at any size
// (32 x 32 is the window's; the installed theme icons use the others).
QPixmap unitIconPixmap(int size);
QIcon windowIcon();

// Lamp colours.
inline QColor lampYellow() { return QColor(0xF5, 0xC8, 0x00); }
inline QColor lampGreen() { return QColor(0x1E, 0xB4, 0x3C); }
inline QColor lampRed() { return QColor(0xDC, 0x28, 0x1E); }
inline QColor lampGray() { return QColor(0x8C, 0x8C, 0x8C); }

} // namespace app
