// Translation of Qt key events into what the program's key handlers expect: Windows virtual-key
// codes and the modifier state 1 Ctrl | 2 Shift | 4 Alt.
//
// The numeric keypad's digits arrive as the main-row digits 48-57 and its minus, point and slash
// as the main-row codes 189, 190 and 191; its "*" and "+" stay 106 and 107. Shifted symbols
// arrive as the key that carries them on a US keyboard ("!" is the 1 key, 49). The key being
// pressed or released never counts itself as a modifier.
#pragma once

#include <Qt>

namespace runtime::ui::detail {

// 0 when the key has no virtual-key code.
int virtualKeyCode(int qtKey, Qt::KeyboardModifiers modifiers);

// The modifier bits with the bit of the key itself (when it is Ctrl, Shift or Alt) cleared.
int modifierState(int qtKey, Qt::KeyboardModifiers modifiers);

}  // namespace runtime::ui::detail
