// The look the program's dialogs share.
#pragma once

class QWidget;

// Fixed single border with system menu and minimise box, given client size, white.
void SetFixedDialog(QWidget *dialog, int width, int height);
// Places a control at a designer position.
void Place(QWidget *control, int left, int top, int width = -1, int height = -1);
// Application name and the program's font; the program and its tests start with this.
void SetUpApplication();
