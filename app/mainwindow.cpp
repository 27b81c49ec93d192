#include "app/mainwindow.h"

#include "app/dbsettings.h"
#include "base/globals.h"
#include "base/messages.h"
#include "base/mnemonics.h"
#include "base/placement.h"
#include "base/ui.h"
#include "collab/chatlog.h"
#include "collab/chatwindow.h"
#include "collab/pointerwindow.h"
#include "db/schema.h"
#include "drawsettings/colours.h"
#include "drawsettings/gridspacing.h"
#include "drawsettings/layers.h"
#include "drawsettings/linetypes.h"
#include "drawsettings/linewidth.h"
#include "editor/editorwindow.h"
#include "master/members.h"
#include "master/pcuser.h"
#include "master/sections.h"
#include "register/drawinglist.h"
#include "register/drawingrecord.h"
#include "register/revisions.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

TForm1 *CreateProgramWindows()
{
    auto *main = new TForm1;
    AppContext &c = main->Context();
    auto *database = new TForm2(c, main);
    auto *sections = new TForm3(c, main);
    auto *chatLog = new TForm7(c, main);
    auto *pcUser = new TForm5(c, main);
    auto *members = new TForm4(c, main);
    auto *revisions = new TForm11(c, main);
    new TForm16(c, main);
    new TForm14(c, main);
    new TForm15(c, main);
    new TForm18(c, main);
    new TForm17(c, main);
    main->SetPlacedDialogs({database, sections, members, pcUser, chatLog, revisions});
    return main;
}

namespace {

// A child window that closes itself takes its frame along, however it was closed.
class FrameCloser : public QObject
{
public:
    explicit FrameCloser(QMdiSubWindow *frame) : QObject(frame), frame(frame) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Close || passing)
            return false;
        // Let the window decide first; only a close it accepts may end the frame.
        passing = true;
        QCoreApplication::sendEvent(watched, event);
        passing = false;
        if (event->isAccepted())
            frame->close();
        return true;
    }

private:
    QMdiSubWindow *frame;
    bool passing = false;
};

// The first size of the main window when no settings file gave one.
constexpr QSize FirstSize(1280, 800);

} // namespace

TForm1::TForm1(QWidget *parent)
    : QMainWindow(parent), context{database, Config(), messages, *this}
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Harokan"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setGeometry(192, 107, 315, 236);

    area = new QMdiArea(this);
    area->setObjectName(QStringLiteral("MdiArea"));
    area->setBackground(Qt::white);
    // A window opened or activated beside a maximised one (the chat beside an editor, say)
    // leaves that one as it is and opens at its own size.
    area->setOption(QMdiArea::DontMaximizeSubWindowOnActivation);
    connect(area, &QMdiArea::subWindowActivated, this, &TForm1::ShowDuplicateMenus);
    setCentralWidget(area);
    RouteChildMnemonics(area);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(19);
    StatusBar1->setStyleSheet(QStringLiteral("QStatusBar { background: #c0dcc0; }"));
    setStatusBar(StatusBar1);

    auto item = [this](QMenu *menu, const char *name, const QString &caption,
                       void (TForm1::*handler)()) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    QMenu *init = menuBar()->addMenu(QStringLiteral("初期設定(&I)"));
    init->setObjectName(QStringLiteral("mnuInit"));
    mnuDBset = item(init, "mnuDBset", QStringLiteral("データベース設定(&D)..."),
                    &TForm1::mnuDBsetClick);
    init->addSeparator();
    mnuAddTable1 = item(init, "mnuAddTable1", QStringLiteral("所属（SECTION）の登録(&S)"),
                        &TForm1::mnuAddTable1Click);
    mnuAddTable2 = item(init, "mnuAddTable2", QStringLiteral("メンバー（MEMBER）の登録(&M)"),
                        &TForm1::mnuAddTable2Click);
    mnuPCnameSet = item(init, "mnuPCnameSet", QStringLiteral("PC利用者名の登録(&P)"),
                        &TForm1::mnuPCnameSetClick);
    init->addSeparator();
    mnuExit = item(init, "mnuExit", QStringLiteral("終了(&X)"), &TForm1::mnuExitClick);

    QMenu *chat = mnuChat = menuBar()->addMenu(QStringLiteral("チャット(&C)"));
    chat->setObjectName(QStringLiteral("mnuChat"));
    mnuChatStart = item(chat, "mnuChatStart", QStringLiteral("チャット開始(&S)"),
                        &TForm1::mnuChatStartClick);
    mnuChatEdit = item(chat, "mnuChatEdit", QStringLiteral("チャット内容の編集(&E)"),
                       &TForm1::mnuChatEditClick);
    chat->addSeparator();
    mnuMousePointer = item(chat, "mnuMousePointer", QStringLiteral("マウスポインタ(&M)"),
                           &TForm1::mnuMousePointerClick);

    QMenu *cad = mnuCad = menuBar()->addMenu(QStringLiteral("CAD図面(&Z)"));
    cad->setObjectName(QStringLiteral("mnuCad"));
    mnuCadNew = item(cad, "mnuCadNew", QStringLiteral("新規作成(&N)"), &TForm1::mnuCadNewClick);
    mnuCadEdit = item(cad, "mnuCadEdit", QStringLiteral("編集(&E)"), &TForm1::mnuCadEditClick);
    cad->addSeparator();
    mnuCadList = item(cad, "mnuCadList", QStringLiteral("一覧表示(&L)"),
                      &TForm1::mnuCadListClick);

    // Narrower, the menu bar would hide its last menus behind an overflow button.
    setMinimumWidth(menuBar()->sizeHint().width());
    // Said in the status bar, not in a box: every timer of every window would raise one.
    database.WatchConnection([this](bool lost) {
        StatusBar1->showMessage(lost ? QStringLiteral("データベースとの接続が切れました。"
                                                      "再接続しています…")
                                     : QStringLiteral("データベースに再接続しました"),
                                lost ? 0 : 10000);
    });
    const SettingsPlace place = DefaultSettingsPlace();
    SettingsFile = place.file;
    SettingsStartingPoints = place.startingPoints;
}

TForm1::~TForm1() = default;

QString TForm1::DatabasePath()
{
    return ::DatabasePath(Config());
}

void TForm1::SetPlacedDialogs(const std::vector<QWidget *> &dialogs)
{
    placedDialogs = dialogs;
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // A window shown again (after minimising, say) must not reconnect or reload.
    if (!started) {
        started = true;
        FormShow();
    }
}

void TForm1::FormShow()
{
    LoadSettings();
    if (!Config().DataFolder.isEmpty()) {
        database.ConnectDatabase(DatabasePath());
        if (!database.DatabaseConnected()) {
            database.DisconnectDatabase();
            ShowMessage(QStringLiteral("データベース接続が出来ません。設定を確認して下さい。"));
        }
    }
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (!FormClose()) {
        // A child window asked and was told to stay (an unregistered stamp).
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

bool TForm1::FormClose()
{
    // Children first, so that they store their geometry and publish that they are gone
    // while the connection is still open.
    if (!CloseChildren() && !context.Ending)
        return false;
    database.DisconnectDatabase();
    SaveSettings();
    return true;
}

void TForm1::EndFromOutside()
{
    context.Ending = true;
    // A modal dialog's own loop must end before the main window can close; each try ends
    // the topmost one.
    if (QWidget *modal = QApplication::activeModalWidget()) {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
        QTimer::singleShot(20, this, &TForm1::EndFromOutside);
        return;
    }
    close();
    QCoreApplication::quit();
}

bool TForm1::CloseChildren()
{
    area->closeAllSubWindows();
    return area->subWindowList().isEmpty();
}

void TForm1::LoadSettings()
{
    const QString source = SettingsSource({SettingsFile, SettingsStartingPoints});
    SettingsRead read = SettingsRead::Missing;
    Config() = LoadSettingsFile(source, &read);
    if (read == SettingsRead::NotSettings) {
        // Told once the window is up; the file is kept for whoever wants to look at it.
        const QString aside = source == SettingsFile ? SetSettingsFileAside(source) : QString();
        QString text = QStringLiteral("設定ファイル %1 は設定ファイルとして読めないため、"
                                      "初期値で起動しました。").arg(source);
        if (!aside.isEmpty())
            text += QStringLiteral("\n元のファイルは %1 に残しました。").arg(aside);
        QTimer::singleShot(0, this, [text] { ShowMessage(text); });
    }
    const Settings &s = Config();
    if (!s.windowGeometryRead) {
        PlaceFirstTime();
        return;
    }
    const auto &g = s.windowGeometry;
    if (g[2] > 0 && g[3] > 0) {
        move(g[0], g[1]);
        resize(g[2], g[3]);
        KeepOnScreen(this);
    } else {
        // A file that holds no size for the main window (a short one, written by hand).
        PlaceFirstTime();
    }
    for (size_t i = 0; i < placedDialogs.size(); ++i) {
        if (placedDialogs[i])
            placedDialogs[i]->move(g[4 + 2 * i], g[5 + 2 * i]);
    }
}

void TForm1::PlaceFirstTime()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect room = screen->availableGeometry();
    const QSize extra = frameGeometry().size() - size();
    resize(FirstSize.boundedTo(room.size() - extra));
    const QSize outer = size() + extra;
    move(room.left() + std::max(0, (room.width() - outer.width()) / 2),
         room.top() + std::max(0, (room.height() - outer.height()) / 2));
}

QPoint TForm1::DialogPosition(const QWidget *dialog) const
{
    // Shown, or placed from the file: where it is. Never placed: where it would open,
    // centred over the main window, so that the file never sends it to a corner.
    if (dialog->testAttribute(Qt::WA_Moved))
        return dialog->pos();
    const QRect main = frameGeometry();
    const QSize outer = dialog->frameGeometry().size();
    return {main.left() + (main.width() - outer.width()) / 2,
            main.top() + (main.height() - outer.height()) / 2};
}

void TForm1::SaveSettings()
{
    Settings &s = Config();
    auto &g = s.windowGeometry;
    g[0] = pos().x();
    g[1] = pos().y();
    g[2] = width();
    g[3] = height();
    for (size_t i = 0; i < placedDialogs.size(); ++i) {
        if (placedDialogs[i]) {
            const QPoint p = DialogPosition(placedDialogs[i]);
            g[4 + 2 * i] = p.x();
            g[5 + 2 * i] = p.y();
        }
    }
    if (SaveSettingsFile(SettingsFile, s) || saveFailureTold)
        return;
    saveFailureTold = true;
    const QString text =
        QStringLiteral("設定を保存出来ませんでした。%1 に書き込めません。").arg(SettingsFile);
    // No message box may stop an end asked for from outside.
    if (context.Ending)
        qWarning("%s", qPrintable(text));
    else
        ShowMessage(text);
}

bool TForm1::EnsureTable(const QString &table)
{
    if (database.TableExists(table))
        return true;
    if (CreateSharedTable(database, table))
        return true;
    // Another PC may have created it at the same moment.
    return database.TableExists(table);
}

bool TForm1::PcUserChosen()
{
    if (Config().PcUserNo != 0)
        return true;
    ShowMessage(QStringLiteral("PC利用者名の登録を行って下さい"));
    return false;
}

void TForm1::OpenChild(QWidget *child)
{
    child->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow *sub = area->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    child->installEventFilter(new FrameCloser(sub));
    connect(sub, &QMdiSubWindow::windowStateChanged, this, &TForm1::ShowDuplicateMenus);
    connect(sub, &QObject::destroyed, this, &TForm1::ShowDuplicateMenus, Qt::QueuedConnection);
    if (child->property(OwnMenusProperty).toBool()) {
        for (QAction *own : {mnuChatStart, mnuChatEdit, mnuMousePointer, mnuCadNew, mnuCadEdit,
                             mnuCadList}) {
            if (auto *copy = child->findChild<QAction *>(own->objectName()))
                connect(copy, &QAction::triggered, own, &QAction::trigger);
        }
    }
    child->show();
    FitInArea(sub, area->isVisible() ? area->viewport()->size() : QSize());
    ShowDuplicateMenus();
}

void TForm1::ShowDuplicateMenus()
{
    // A maximised window with menus of its own (the editor's チャット and CAD図面) shows
    // them under these; while it is, the main window's copies step aside.
    bool covered = false;
    for (QMdiSubWindow *w : area->subWindowList()) {
        if (w->isVisible() && w->isMaximized() && w->widget()
            && w->widget()->property(OwnMenusProperty).toBool())
            covered = true;
    }
    mnuChat->menuAction()->setVisible(!covered);
    mnuCad->menuAction()->setVisible(!covered);
}

void TForm1::mnuDBsetClick()
{
    // No open record form or editor may keep a drawing number of the old database.
    if (!CloseChildren())
        return;
    database.DisconnectDatabase();
    execDialog<TForm2>();
    database.ConnectDatabase(DatabasePath());
}

void TForm1::mnuAddTable1Click()
{
    if (database.DatabaseConnected() && EnsureTable(QStringLiteral("SECTION")))
        execDialog<TForm3>();
}

void TForm1::mnuAddTable2Click()
{
    if (database.DatabaseConnected() && EnsureTable(QStringLiteral("MEMBER")))
        execDialog<TForm4>();
}

void TForm1::mnuPCnameSetClick()
{
    if (database.DatabaseConnected())
        execDialog<TForm5>();
}

void TForm1::mnuExitClick()
{
    close();
}

void TForm1::mnuChatStartClick()
{
    if ((chatWindow && chatWindow->isVisible()) || !database.DatabaseConnected())
        return;
    if (!EnsureTable(QStringLiteral("CHAT")) || !PcUserChosen())
        return;
    chatWindow = new TForm6(context);
    OpenChild(chatWindow);
}

void TForm1::mnuChatEditClick()
{
    if (database.DatabaseConnected() && EnsureTable(QStringLiteral("CHAT")))
        execDialog<TForm7>();
}

void TForm1::mnuMousePointerClick()
{
    if ((pointerWindow && pointerWindow->isVisible()) || !database.DatabaseConnected())
        return;
    if (!EnsureTable(QStringLiteral("MOUSEPOS")) || !PcUserChosen())
        return;
    pointerWindow = new TForm8(context);
    OpenChild(pointerWindow);
}

void TForm1::mnuCadNewClick()
{
    if (database.DatabaseConnected() && EnsureTable(QStringLiteral("CADLIST")) && PcUserChosen())
        OpenRecordForm(RecordMode::New, 0);
}

void TForm1::mnuCadEditClick()
{
    if (database.DatabaseConnected() && database.TableExists(QStringLiteral("CADLIST"))
        && PcUserChosen())
        OpenRecordForm(RecordMode::Edit, 0);
}

void TForm1::mnuCadListClick()
{
    if (database.DatabaseConnected() && EnsureTable(QStringLiteral("CADLIST")) && PcUserChosen())
        OpenChild(new TForm12(context));
}

void TForm1::OpenDrawing(int drawingNo, const QString &name, double paperWidth,
                         double paperHeight)
{
    auto *editor = new TForm13(context, drawingNo, paperWidth, paperHeight);
    editor->setWindowTitle(QStringLiteral("CAD － ") + name + QStringLiteral(" (N:")
                           + QString::number(drawingNo) + u')');
    OpenChild(editor);
}

void TForm1::OpenRecordForm(RecordMode mode, int drawingNo)
{
    OpenChild(new TForm10(context, mode, drawingNo));
}

void TForm1::OpenRevisions(int drawingNo)
{
    if (auto *d = Dialog<TForm11>()) {
        d->DrawingNo = drawingNo;
        d->exec();
    }
}

bool TForm1::ChooseLayer(int drawingNo, int &layer)
{
    auto *d = Dialog<TForm14>();
    return d && d->Choose(drawingNo, layer);
}

bool TForm1::ChooseColour(int drawingNo, int &colour)
{
    auto *d = Dialog<TForm15>();
    return d && d->Choose(drawingNo, colour);
}

bool TForm1::ChooseLineType(int drawingNo, int &lineType)
{
    auto *d = Dialog<TForm16>();
    return d && d->Choose(drawingNo, lineType);
}

bool TForm1::ChooseLineWidth(int &width)
{
    auto *d = Dialog<TForm17>();
    return d && d->Choose(width);
}

bool TForm1::ChooseGrid(double &grid)
{
    auto *d = Dialog<TForm18>();
    return d && d->Choose(grid);
}
