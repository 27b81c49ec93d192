// The look the program's dialogs share.
#pragma once

#include <QString>

#include <functional>

class QPoint;
class QSize;
class QWidget;

// Fixed single border with system menu and minimise box, given client size, white.
void SetFixedDialog(QWidget *dialog, int width, int height);
// Places a control at a designer position.
void Place(QWidget *control, int left, int top, int width = -1, int height = -1);
// Where a window saved at that position opens: there when its title strip shows on some
// screen, else near the top left of the primary screen (a removed monitor must not hide it).
QPoint OnScreenPosition(const QPoint &saved, const QSize &size);
// A UTF-8 character type (when the user's locale has none), the application name and the
// program's font; the program and its tests start with this, after the application object.
void SetUpApplication();
void UseUtf8CharacterType();
// A child window with this property set carries the main menu's チャット and CAD図面 itself.
inline constexpr const char *OwnMenusProperty = "ownMenus";
// What carries a child window's size: its frame inside the main window, else itself.
QWidget *WindowFrame(QWidget *window);

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
// A dialog's controls at their designer positions and under their designer names (an
// empty name leaves one unnamed). Edits and choosers are 21 pixels high.
QLabel *AddLabel(QWidget *parent, const QString &name, const QString &text, int left, int top);
QLineEdit *AddEdit(QWidget *parent, const QString &name, int left, int top, int width);
QComboBox *AddComboBox(QWidget *parent, const QString &name, int left, int top, int width);
QPushButton *AddButton(QWidget *parent, const QString &name, const QString &text, int left,
                       int top, int width, int height);

class QIcon;
// The program's own icon, drawn from its SVG.
QIcon ProgramIcon();
// Limits an edit to what a VARCHAR column of that many bytes holds in CP932 (a full-width
// character takes two). A typed or pasted input over the limit or with a character CP932
// cannot hold is refused whole, and a tip at the edit says why.
void LimitBytes(QLineEdit *edit, int bytes);
// The message for a text the limit refuses; empty when the text fits.
QString RefusalReason(const QString &text, int bytes);
// Number and date fields: no input method.
void NoInputMethod(QWidget *edit);
// Runs the action when the widget is double-clicked (edits have no signal of their own).
void OnDoubleClick(QWidget *widget, std::function<void()> action);
