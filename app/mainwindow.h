// The main window: the menu, the child-window area and the program's one database
// connection, whose helpers every other window calls through Form1.
#pragma once

#include "db/database.h"

#include <QMainWindow>

#include <vector>

class QAction;
class QMdiArea;
class QMenu;
class QStatusBar;

class TForm1 : public QMainWindow, private Database
{
    Q_OBJECT

public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // Connection and query helpers, offered under their own names.
    using Database::CloseQuery;
    using Database::CloseSelect;
    using Database::CommitTransaction;
    using Database::ConnectDatabase;
    using Database::CreateDatabase;
    using Database::DatabaseConnected;
    using Database::DisconnectDatabase;
    using Database::DropTable;
    using Database::ExecSqlLines;
    using Database::FetchNextRow;
    using Database::FetchRow;
    using Database::LastError;
    using Database::LastSql;
    using Database::RollbackTransaction;
    using Database::SqlDelete;
    using Database::SqlInsert;
    using Database::SqlInsertList;
    using Database::ReadRows;
    using Database::SelectRows;
    using Database::SqlInsertNoCommit;
    using Database::SqlSelect;
    using Database::SqlSelectMax;
    using Database::SqlSelectPairs;
    using Database::SqlSelectRow;
    using Database::SqlUpdate;
    using Database::SqlUpdateNoCommit;
    using Database::StartTransaction;
    using Database::TableExists;
    using Database::WatchConnection;
    Database &db() { return *this; }

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
    bool Ending = false;

    // A child window with this property set carries the main menu's チャット and CAD図面
    // itself; the main window's copies are hidden while such a window is maximised.
    static constexpr const char *OwnMenusProperty = "ownMenus";
    void ShowDuplicateMenus();
    QMenu *mnuChat, *mnuCad;
    QAction *mnuDBset, *mnuAddTable1, *mnuAddTable2, *mnuPCnameSet, *mnuExit;
    QAction *mnuChatStart, *mnuChatEdit, *mnuMousePointer;
    QAction *mnuCadNew, *mnuCadEdit, *mnuCadList;
    QStatusBar *StatusBar1;

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

    QMdiArea *area;
    std::vector<QWidget *> placedDialogs;
    bool started = false;
    bool saveFailureTold = false;
};

extern TForm1 *Form1;

// The windows that live from start to end, made in the program's order: the main window,
// then its dialogs. The program and its tests both start with these.
void CreateProgramWindows();
// Deletes the main window with its dialogs and clears every pointer to them.
void DeleteProgramWindows();
