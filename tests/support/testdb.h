// What the test programs share: databases copied from one template, the program's windows
// on such a database, and the clicks and reads a user makes.
#pragma once

#include "app/mainwindow.h"
#include "base/settings.h"
#include "base/appcontext.h"
#include "db/database.h"

#include <QList>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

class QDialog;
class QPushButton;
class StringGrid;

// A database folder for one test, removed afterwards.
class TestDb
{
public:
    TestDb();

    // The folder with a final "/", open to the server's own user.
    QString folder() const;
    // The file opened embedded, and the same file through the local server.
    QString embeddedPath() const;
    QString serverPath() const;

    // Puts a fresh database (a copy of one made once per test program) into the folder and
    // leaves db connected to it; false on failure.
    bool open(Database &db, bool throughServer = false) const;

private:
    QTemporaryDir dir;
};

// Reads a cell of the first row of a query run on its own (for checks after a helper).
QString QueryValue(Database &db, const QString &columns, const QString &table,
                   const QString &where = QString());

// One statement run on its own; on failure it says which and why.
bool exec(Database &db, const QString &sql);

// Waits, at most half a minute, until an editor's print or export has ended.
class DrawingOutput;
bool finished(DrawingOutput *output);

// One line stored as the drawing commands store it, in its layer's colour, type and width.
bool storeLine(Database &db, int drawing, int n, int layer, double x1, double y1, double x2,
               double y2);

// A settings file's lines, read from CP932, without their line ends; none when unreadable.
QStringList fileLines(const QString &path);

// Processor time of the local server's processes in seconds; negative when none can be read.
double ServerCpuSeconds();

// Waits, at most timeoutMs, until count writing transactions of other connections to the
// watcher's database are busy at once (as when they wait for another's lock).
bool WaitForBusyWriters(Database &watcher, int count, int timeoutMs);

// The main window the test made (OpenProgramWindows, ProgramFixture or AdoptMain), null once
// it is gone; and its connection.
TForm1 *Main();
Database &Db();
void AdoptMain(TForm1 *main);
// One of the dialogs the main window keeps, null without a main window.
template<class Window>
Window *Dialog()
{
    return Main() ? Main()->Dialog<Window>() : nullptr;
}
// The program's settings and message boxes around a connection of the test's own, for a
// window made without the main window; other windows open through the main window when
// there is one, else they are recorded.
AppContext &ProgramContextOn(Database &db);
// The program's windows as the program makes them at start, and their end.
TForm1 *OpenProgramWindows();
void CloseProgramWindows();

// What windows told and asked through their context; questions get the queued answers
// (No once the queue is empty).
class RecordingMessages : public Messages
{
public:
    void Show(const QString &text) override { texts.append(text); }
    bool AskYesNo(const QString &text) override
    {
        texts.append(text);
        return !answers.isEmpty() && answers.takeFirst();
    }
    QStringList texts;
    QList<bool> answers;
};

// The windows asked for, one line each: "drawing 7 name 420x297", "record edit 7",
// "record new 0", "revisions 7", "layers 7 3" (drawing, current), "colours 7 0",
// "line types 7 0", "width 35", "grid 5"; no settings dialog is shown, nothing changes.
class RecordingOpener : public WindowOpener
{
public:
    void OpenDrawing(int drawingNo, const QString &name, double paperWidth,
                     double paperHeight) override;
    void OpenRecordForm(RecordMode mode, int drawingNo) override;
    void OpenRevisions(int drawingNo) override;
    QPoint Origin() const override { return origin; }
    bool ChooseLayer(int drawingNo, int &layer) override;
    bool ChooseColour(int drawingNo, int &colour) override;
    bool ChooseLineType(int drawingNo, int &lineType) override;
    bool ChooseLineWidth(int &width) override;
    bool ChooseGrid(double &grid) override;
    QStringList asked;
    QPoint origin;
};

// A window's context on a fresh test database, with this PC's settings of its own and no
// main window.
class TestContext
{
public:
    TestContext();
    TestDb files;
    Database db;
    Settings settings;
    RecordingMessages messages;
    RecordingOpener opener;
    AppContext context{db, settings, messages, opener};
    bool connected = false;
};

// The windows the program creates at start, on a fresh database that the settings name,
// so that the dialogs' show checks pass.
class ProgramFixture
{
public:
    explicit ProgramFixture(bool throughServer = false);
    ~ProgramFixture();

    TestDb db;
    QTemporaryDir files;
    bool connected = false;
};

// Runs a program to its end, at most a minute; its standard output, or empty on failure.
QByteArray RunProgram(const QString &program, const QStringList &args, bool *ok = nullptr);

void click(QPushButton *button);
// Clicks the first cell of a grid row (1 is the first data row).
void clickRow(StringGrid *grid, int row, Qt::KeyboardModifiers modifiers = {});
// Each data row as its cells joined by "|".
QStringList gridRows(const StringGrid *grid);
// Runs the action once the modal dialog is up, then closes the dialog whatever the action
// did, so that a failed check inside it cannot leave the test waiting.
void whenShown(QDialog *dialog, std::function<void()> action);

// The child windows of one kind open in the main window, oldest first.
template<class Window>
QList<Window *> ChildWindows()
{
    QList<Window *> found;
    for (QMdiSubWindow *w : Main()->mdiArea()->subWindowList()) {
        if (auto *child = qobject_cast<Window *>(w->widget()))
            found << child;
    }
    return found;
}
