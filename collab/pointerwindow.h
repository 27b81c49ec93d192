// The mouse pointer window: while it is open this PC publishes its pointer once a second and
// shows every other user's pointer as a marker placed relative to the main window.
#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QTimer;
class TForm9;
struct AppContext;

class TForm8 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm8(AppContext &context, QWidget *parent = nullptr);
    ~TForm8() override;

    QLabel *Label1;
    QTimer *Timer1;

    // The mouse position on the screen; tests put another source here.
    std::function<QPoint()> CursorPos;

    // The marker shown for a member, null when none is.
    TForm9 *Marker(int member) const;
    // The member number this window publishes under, fixed when it was shown.
    int Publisher() const { return publisher; }

    static constexpr int TickMs = 1000;
    static constexpr int MarkerColor = 0xFFFF00;

public slots:
    void Timer1Timer();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    struct Tracked
    {
        int member;
        bool shown;
        QPoint pos;
        // Null again when something outside closed the marker.
        QPointer<TForm9> marker;
    };

    void FormShow();
    void PublishPointer(int state);
    void ShowPointers();
    void ShowMarker(Tracked &t, const QString &name);
    void CloseMarkers();

    AppContext &context;
    std::vector<Tracked> tracked;
    int publisher = 0;
    bool shown = false;
    bool closed = false;
};
