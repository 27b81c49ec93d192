// What a window is handed instead of reaching for the main window: the connection, this
// PC's settings, the way it tells and asks the user, and a way to open other windows.
#pragma once

#include <QPoint>
#include <QString>

class Database;
struct Settings;

// How windows tell the user something and ask a question; the program shows message boxes,
// tests record and answer.
class Messages
{
public:
    virtual ~Messages() = default;
    virtual void Show(const QString &text) = 0;
    // True for Yes.
    virtual bool AskYesNo(const QString &text) = 0;
};

// The windows a window may bring up without knowing them; the main window opens them.
class WindowOpener
{
public:
    virtual ~WindowOpener() = default;
    // The editor of a drawing whose tables exist, on paper of that size (0 by 0 when the
    // register has none); name is the register's 図面名 for the title.
    virtual void OpenDrawing(int drawingNo, const QString &name, double paperWidth,
                             double paperHeight) = 0;
    enum class RecordMode { New = 0, Edit = 1 };
    // The record form; in edit mode a drawing number > 0 is shown at once.
    virtual void OpenRecordForm(RecordMode mode, int drawingNo) = 0;
    // The revision history of a drawing, modal.
    virtual void OpenRevisions(int drawingNo) = 0;
    // Where the program's window is: shared pointers are measured from there.
    virtual QPoint Origin() const = 0;

    // A drawing's settings dialogs, modal. The current layer, colour or line type always
    // comes back (0 for colour and line type is the layer's own); true when the dialog wrote
    // a row, so the picture must be redrawn.
    virtual bool ChooseLayer(int drawingNo, int &layer) = 0;
    virtual bool ChooseColour(int drawingNo, int &colour) = 0;
    virtual bool ChooseLineType(int drawingNo, int &lineType) = 0;
    // The value comes back only when OK closed the dialog, and then the result is true.
    virtual bool ChooseLineWidth(int &width) = 0;
    virtual bool ChooseGrid(double &grid) = 0;
};

struct AppContext
{
    Database &db;
    Settings &settings;
    Messages &messages;
    WindowOpener &opener;
    // Set once the program is ended from outside: windows close without asking.
    bool Ending = false;
};
