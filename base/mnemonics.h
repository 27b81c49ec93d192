// Alt+letter in an MDI program: the active child window's own buttons and menus come
// before the main window's menu.
#pragma once

class QMdiArea;

// From now on an Alt+letter typed in the main window presses the active child window's
// button, opens its menu or focuses a label's field with that letter, and reaches the main
// menu only when the child window has none.
void RouteChildMnemonics(QMdiArea *area);
