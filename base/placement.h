// Where windows open: top-level windows on a screen, child windows inside the window area.
#pragma once

class QRect;
class QSize;
class QWidget;

// True when the title band of a window with this frame lies on some screen far enough to
// be grabbed with the mouse.
bool OnSomeScreen(const QRect &frame);
// Moves a top-level window that would open off every screen to the primary screen's
// centre, shrunk to that screen when larger.
void KeepOnScreen(QWidget *window);
// Gives a child window's frame at least the size that shows all its controls, then shrinks
// and moves it into the area's visible part.
void FitInArea(QWidget *frame, const QSize &area);
// From now on every top-level window, dialogs included, is kept on a screen when shown.
void KeepWindowsOnScreen();
