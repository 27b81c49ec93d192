// The main window: the menu, the child-window area and the program's one database
// connection. It hands every window it makes the program's context and opens the windows
// others ask for.
#pragma once

#include "base/messages.h"
#include "base/appcontext.h"
#include "db/database.h"

#include <QMainWindow>
#include <QPointer>

#include <vector>

class QAction;
class QMdiArea;
class QMenu;
class QStatusBar;
class TForm6;
class TForm8;

class TForm1 : public QMainWindow, private WindowOpener
{
    Q_OBJECT

public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    Database &db() { return database; }
    // What the windows of this main window are handed.
    AppContext &Context() { return context; }
    // One of the dialogs living as long as this window (CreateProgramWindows makes them),
    // or null.
    template<class Window>
    Window *Dialog() const
    {
        return findChild<Window *>(QString(), Qt::FindDirectChildrenOnly);
    }

    // ServerName + DataFolder + DbFileName of the settings, nothing between.
    static QString DatabasePath();
    // Start-up reads and shut-down writes this file (the program's path with ".dat" for its
    // extension, or the user's own when the program's folder cannot be written); tests
    // point it elsewhere.
    QString SettingsFile;
    // Read in order while SettingsFile does not exist yet.
    QStringList SettingsStartingPoints;

    // The dialogs whose positions the settings file keeps, in file order: database
    // settings, sections, members, PC user, chat log, revision history. Missing ones are
    // left out of loading and keep their stored values on saving.
    void SetPlacedDialogs(const std::vector<QWidget *> &dialogs);

    // Creates the shared table when it is missing; false when it is still missing.
    bool EnsureTable(const QString &table);
    // Shows the PC-user message and gives false when no PC user is chosen.
    bool PcUserChosen();
    // Adds a child window to the window area and shows it.
    void OpenChild(QWidget *child);
    QMdiArea *mdiArea() const { return area; }
    // Closes as 終了 does when the program is ended from outside: open dialogs first.
    void EndFromOutside();
    // Set once the program is ended from outside: windows close without asking.
    bool Ending() const { return context.Ending; }

    // A child window with OwnMenusProperty set carries the main menu's チャット and CAD図面
    // itself, its copies running the main window's; the main window's are hidden while such
    // a window is maximised.
    void ShowDuplicateMenus();
    QMenu *mnuChat, *mnuCad;
    QAction *mnuDBset, *mnuAddTable1, *mnuAddTable2, *mnuPCnameSet, *mnuExit;
    QAction *mnuChatStart, *mnuChatEdit, *mnuMousePointer;
    QAction *mnuCadNew, *mnuCadEdit, *mnuCadList;
    QStatusBar *StatusBar1;

    // WindowOpener
    void OpenDrawing(int drawingNo, const QString &name, double paperWidth,
                     double paperHeight) override;
    void OpenRecordForm(RecordMode mode, int drawingNo) override;
    void OpenRevisions(int drawingNo) override;
    QPoint Origin() const override { return pos(); }
    bool ChooseLayer(int drawingNo, int &layer) override;
    bool ChooseColour(int drawingNo, int &colour) override;
    bool ChooseLineType(int drawingNo, int &lineType) override;
    bool ChooseLineWidth(int &width) override;
    bool ChooseGrid(double &grid) override;

public slots:
    void DoChatStart() { mnuChatStartClick(); }
    void DoChatEdit() { mnuChatEditClick(); }
    void DoMousePointer() { mnuMousePointerClick(); }
    void DoCadNew() { mnuCadNewClick(); }
    void DoCadEdit() { mnuCadEditClick(); }
    void DoCadList() { mnuCadListClick(); }

    void mnuDBsetClick();
    void mnuAddTable1Click();
    void mnuAddTable2Click();
    void mnuPCnameSetClick();
    void mnuExitClick();
    void mnuChatStartClick();
    void mnuChatEditClick();
    void mnuMousePointerClick();
    void mnuCadNewClick();
    void mnuCadEditClick();
    void mnuCadListClick();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormShow();
    bool FormClose();
    void LoadSettings();
    void SaveSettings();
    void PlaceFirstTime();
    QPoint DialogPosition(const QWidget *dialog) const;
    bool CloseChildren();
    template<class Modal>
    void execDialog()
    {
        if (auto *d = Dialog<Modal>())
            d->exec();
    }

    Database database;
    BoxMessages messages;
    AppContext context;
    QMdiArea *area;
    QPointer<TForm6> chatWindow;
    QPointer<TForm8> pointerWindow;
    std::vector<QWidget *> placedDialogs;
    bool started = false;
    bool saveFailureTold = false;
};

// The windows that live from start to end, made in the program's order: the main window,
// then its dialogs as its children, gone with it. The program and its tests both start with
// these.
TForm1 *CreateProgramWindows();
