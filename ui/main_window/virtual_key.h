#pragma once

#include <Qt>
#include <QtGlobal>

// The list works with the classic virtual-key codes (Enter 13, Page Up 33,
// Page Down 34, End 35, Home 36, arrows 37 to 40). Keys without a code give 0.
qint16 VirtualKeyCode(int qtKey);

// Modifier state as the classic bit mask: Shift 1, Ctrl 2, Alt 4.
qint16 ShiftState(Qt::KeyboardModifiers modifiers);
