// The chat window: the day's lines of every PC, polled from the shared database, and the
// input line that sends this PC user's lines.
#pragma once

#include "collab/chatchannel.h"

#include <QWidget>

#include <functional>

class QAction;
class LiveWatch;
class QFrame;
class QLineEdit;
class QPlainTextEdit;
class QStatusBar;
class QTimer;
struct AppContext;

class TForm6 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm6(AppContext &context, QWidget *parent = nullptr);
    ~TForm6() override;

    QPlainTextEdit *RichEdit1;
    QFrame *Panel1;
    QLineEdit *Edit1;
    QStatusBar *StatusBar1;
    QTimer *Timer1;
    // In the log's context menu: times as 2026/12/07 13:02:41, kept with this PC's settings.
    QAction *mnuReadableTime;

    // The local date and time the window goes by; tests put another clock here.
    std::function<QDateTime()> Clock = [] { return QDateTime::currentDateTime(); };

    static constexpr int PollMs = 5000;

    // Lines that came in while the window was not the active one; the title says so until
    // the window is activated.
    int UnseenLines() const { return unseen; }

public slots:
    void Edit1KeyPress();
    void Timer1Timer();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void FormShow();
    // The number of lines added.
    int LoadNewLines();
    bool IsActive() const;
    void ShowUnseen();

    int unseen = 0;

    AppContext &context;
    ChatChannel channel;
    LiveWatch *live;
    bool shown = false;
};
