#include "collab/pointerwindow.h"

#include "base/settings.h"
#include "base/ui.h"
#include "base/appcontext.h"
#include "collab/pointermarker.h"
#include "collab/pointers.h"

#include <QCloseEvent>
#include <QCursor>
#include <QLabel>
#include <QTimer>

TForm8::TForm8(AppContext &context, QWidget *parent) : QWidget(parent), context(context)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("マウスポインタ"));
    setFixedSize(256, 27);
    Label1 = AddLabel(this, QStringLiteral("Label1"),
                      QStringLiteral("マウスポインタ起動中（閉じると終了）"), 8, 7);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &TForm8::Timer1Timer);
    CursorPos = [] { return QCursor::pos(); };
}

// The markers are its children and go with it.
TForm8::~TForm8() = default;

TForm9 *TForm8::Marker(int member) const
{
    for (const Tracked &t : tracked) {
        if (t.member == member)
            return t.marker;
    }
    return nullptr;
}

void TForm8::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!shown) {
        shown = true;
        FormShow();
    }
}

void TForm8::FormShow()
{
    // Fixed for the whole life of the window: a later change of the PC user must not leave
    // a row at state 1 that nobody closes.
    publisher = context.settings.PcUserNo;
    tracked.clear();
    PublishPointer(1);
    Timer1->start(TickMs);
}

void TForm8::Timer1Timer()
{
    Timer1->stop();
    PublishPointer(1);
    ShowPointers();
    Timer1->start(TickMs);
}

void TForm8::PublishPointer(int state)
{
    // Failures are left to the next tick.
    ::PublishPointer(context.db, publisher, state, CursorPos() - context.opener.Origin());
}

void TForm8::ShowMarker(Tracked &t, const QString &name)
{
    auto *marker = new TForm9(this);
    marker->MarkerText = name;
    marker->MarkerColor = MarkerColor;
    marker->show();
    t.marker = marker;
    t.shown = true;
}

void TForm8::ShowPointers()
{
    QList<PointerRow> rows;
    if (!ReadPointers(context.db, publisher, rows))
        return;
    for (const PointerRow &row : rows) {
        auto t = std::find_if(tracked.begin(), tracked.end(),
                              [&](const Tracked &e) { return e.member == row.member; });
        if (t == tracked.end()) {
            if (row.state != 1)
                continue;
            tracked.push_back({row.member, false, row.pos, nullptr});
            ShowMarker(tracked.back(), row.name);
        } else if (row.state == 1) {
            t->pos = row.pos;
            if (!t->marker)
                ShowMarker(*t, row.name);
        } else if (t->shown) {
            if (t->marker)
                t->marker->close();
            t->marker = nullptr;
            t->shown = false;
        }
    }
    const QPoint origin = context.opener.Origin();
    for (const Tracked &t : tracked) {
        if (t.marker)
            t.marker->move(origin + t.pos);
    }
}

void TForm8::CloseMarkers()
{
    for (Tracked &t : tracked) {
        if (t.marker)
            t.marker->close();
    }
    tracked.clear();
}

void TForm8::closeEvent(QCloseEvent *event)
{
    Timer1->stop();
    if (!closed) {
        closed = true;
        PublishPointer(0);
    }
    CloseMarkers();
    QWidget::closeEvent(event);
}
