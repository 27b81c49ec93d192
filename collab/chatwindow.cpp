#include "collab/chatwindow.h"

#include "base/messages.h"
#include "base/settings.h"
#include "base/ui.h"
#include "base/values.h"
#include "base/appcontext.h"
#include "db/database.h"
#include "db/liveevents.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QFrame>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

TForm6::TForm6(AppContext &context, QWidget *parent)
    : QWidget(parent), context(context), channel(context.db)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("チャット"));

    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setReadOnly(true);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // About 4,000,000 characters of lines of at most 80 bytes; the oldest go first.
    RichEdit1->setMaximumBlockCount(50000);
    mnuReadableTime = new QAction(QStringLiteral("日時を 2026/12/07 13:02:41 の形で表示(&T)"), this);
    mnuReadableTime->setObjectName(QStringLiteral("mnuReadableTime"));
    mnuReadableTime->setCheckable(true);
    connect(mnuReadableTime, &QAction::toggled, this, [this](bool on) {
        this->context.settings.ChatReadableTime = on;
        channel.ReadableTime = on;
        // The day's lines again, all in the chosen form.
        channel.Reset(Clock());
        RichEdit1->clear();
        LoadNewLines();
    });
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(RichEdit1, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        QMenu *menu = RichEdit1->createStandardContextMenu(at);
        menu->addSeparator();
        menu->addAction(mnuReadableTime);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(RichEdit1->viewport()->mapToGlobal(at));
    });

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(25);
    Edit1 = AddEdit(Panel1, QStringLiteral("Edit1"), 0, 2, 660);
    connect(Edit1, &QLineEdit::returnPressed, this, &TForm6::Edit1KeyPress);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setFixedHeight(6);
    StatusBar1->setStyleSheet(QStringLiteral("QStatusBar { background: #c0ffc0; }"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(RichEdit1, 1);
    layout->addWidget(Panel1);
    layout->addWidget(StatusBar1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &TForm6::Timer1Timer);

    // Another PC's line shows as soon as the server says so; the poll stays for builds
    // that say nothing.
    live = new LiveWatch(context.db.Live(), this);
    connect(live, &LiveWatch::Noted, this, [this] {
        const bool polling = Timer1->isActive();
        Timer1->stop();
        LoadNewLines();
        if (polling)
            Timer1->start(PollMs);
    });
}

TForm6::~TForm6() = default;

void TForm6::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!shown) {
        shown = true;
        FormShow();
    }
}

void TForm6::FormShow()
{
    const WindowSize &size = context.settings.ChatWindow;
    WindowFrame(this)->resize(size.width, size.height);
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget())) {
        // Seen once the window is brought forward.
        connect(frame, &QMdiSubWindow::aboutToActivate, this, [this] {
            unseen = 0;
            ShowUnseen();
        });
    }
    channel.ReadableTime = context.settings.ChatReadableTime;
    {
        const QSignalBlocker quiet(mnuReadableTime);
        mnuReadableTime->setChecked(channel.ReadableTime);
    }
    channel.Reset(Clock());
    RichEdit1->clear();
    LoadNewLines();
    Edit1->setFocus();
    Timer1->start(PollMs);
    live->Add(LiveEvents::ChatEvent());
}

int TForm6::LoadNewLines()
{
    QStringList lines;
    if (channel.Poll(Clock(), lines)) {
        for (const QString &line : lines)
            RichEdit1->appendPlainText(line);
    }
    // The newest line in view from its start: at its end a long line would scroll the
    // writer's name out of sight.
    QTextCursor cursor = RichEdit1->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::StartOfBlock);
    RichEdit1->setTextCursor(cursor);
    RichEdit1->ensureCursorVisible();
    RichEdit1->horizontalScrollBar()->setValue(0);
    return int(lines.size());
}

void TForm6::Timer1Timer()
{
    Timer1->stop();
    // Lines found by the poll are other PCs' (this PC's own show up as they are sent).
    const int added = LoadNewLines();
    if (added > 0 && !IsActive()) {
        unseen += added;
        ShowUnseen();
        QApplication::alert(this);
    }
    Timer1->start(PollMs);
}

bool TForm6::IsActive() const
{
    auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget());
    if (!frame)
        return isActiveWindow();
    return isActiveWindow() && frame->mdiArea() && frame->mdiArea()->activeSubWindow() == frame;
}

void TForm6::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // The program brought back from another one, with the chat the active window.
    if (event->type() == QEvent::ActivationChange && unseen > 0 && IsActive()) {
        unseen = 0;
        ShowUnseen();
    }
}

void TForm6::ShowUnseen()
{
    setWindowTitle(unseen > 0 ? QStringLiteral("チャット（新着 %1 件）").arg(unseen)
                              : QStringLiteral("チャット"));
}

void TForm6::Edit1KeyPress()
{
    const QString text = RemoveQuotes(Edit1->text()).trimmed();
    if (text.isEmpty())
        return;
    Timer1->stop();
    const ChatChannel::SendResult result = channel.Send(text, context.settings.PcUserNo, Clock());
    if (result == ChatChannel::SendResult::Sent) {
        Edit1->clear();
        LoadNewLines();
    } else {
        // The typed text stays for another try.
        context.messages.Show(ChatChannel::Message(result));
        Edit1->setFocus();
    }
    Timer1->start(PollMs);
}

void TForm6::closeEvent(QCloseEvent *event)
{
    live->Clear();
    Timer1->stop();
    RichEdit1->clear();
    WindowSize &size = context.settings.ChatWindow;
    size.width = WindowFrame(this)->width();
    size.height = WindowFrame(this)->height();
    QWidget::closeEvent(event);
}
