// The snaps of a right click: which kinds are on (the menu and the status-bar button, kept
// in this PC's settings), the marker at the point a right click would take, and the click.
#include "editor/editorwindow.h"

#include "base/globals.h"
#include "editor/model/drawingmodel.h"
#include "editor/pen/canvas.h"
#include "editor/pen/pen.h"
#include "editor/view/snap.h"

#include <QAction>
#include <QMenu>
#include <QStatusBar>
#include <QToolButton>

#include <cmath>

namespace {

// Menu captions and the button's short names, in priority order.
const char *const Captions[SnapKindCount] = {
    "端点(&E)", "交点(&I)", "中心点(&C)", "中点(&M)", "四分点(&Q)",
    "垂線の足(&P)", "接点(&T)", "近接点(&N)", "グリッド点(&G)"};
const char *const Short[SnapKindCount] = {"端", "交", "心", "中", "四", "垂", "接", "近", "グ"};

// The marker's half size in pixels.
constexpr int M = 4;

// Corners of each marker's outline, closed; a kind's second stroke after a break (-99).
void markerPath(int kind, std::vector<QPoint> &p)
{
    constexpr int B = -99;
    switch (kind) {
    case SnapEnd: p = {{-M, -M}, {M, -M}, {M, M}, {-M, M}, {-M, -M}}; break;
    case SnapMiddle: p = {{0, -M}, {M, M}, {-M, M}, {0, -M}}; break;
    case SnapCentre:
        p = {{-2, -M}, {2, -M}, {M, -2}, {M, 2}, {2, M}, {-2, M}, {-M, 2}, {-M, -2}, {-2, -M}};
        break;
    case SnapIntersection: p = {{-M, -M}, {M + 1, M + 1}, {B, B}, {M, -M}, {-M - 1, M + 1}}; break;
    case SnapQuadrant: p = {{0, -M}, {M, 0}, {0, M}, {-M, 0}, {0, -M}}; break;
    case SnapPerpendicular: p = {{-M, M}, {M + 1, M}, {B, B}, {0, M - 1}, {0, -M - 1}}; break;
    case SnapTangent:
        p = {{-2, -1}, {2, -1}, {M, 1}, {2, M}, {-2, M}, {-M, 1}, {-2, -1},
             {B, B}, {-M, -M}, {M + 1, -M}};
        break;
    case SnapNearest: p = {{-M, -M}, {M, -M}, {-M, M}, {M, M}, {-M, -M}}; break;
    default: p = {{-M, 0}, {M + 1, 0}, {B, B}, {0, -M}, {0, M + 1}}; break;
    }
}

} // namespace

unsigned TForm13::SnapKinds() const
{
    return unsigned(Config().SnapKinds) & SnapAll;
}

void TForm13::SetSnapKinds(unsigned kinds)
{
    Config().SnapKinds = int(kinds & SnapAll);
    ShowSnapKinds();
    HideMarker();
}

void TForm13::SetUpSnaps()
{
    mnuSnap->setObjectName(QStringLiteral("mnuSnap"));
    for (int k = 0; k < SnapKindCount; ++k) {
        QAction *a = mnuSnap->addAction(QString::fromUtf8(Captions[k]));
        a->setObjectName(QStringLiteral("mnuSnap%1").arg(k));
        a->setCheckable(true);
        const unsigned bit = 1u << k;
        connect(a, &QAction::triggered, this, [this, bit](bool on) {
            SetSnapKinds(on ? SnapKinds() | bit : SnapKinds() & ~bit);
        });
    }
    // Another editor of this PC may have changed them.
    connect(mnuSnap, &QMenu::aboutToShow, this, &TForm13::ShowSnapKinds);
    SnapButton = new QToolButton(StatusBar1);
    SnapButton->setObjectName(QStringLiteral("SnapButton"));
    SnapButton->setAutoRaise(true);
    // The keys stay with the drawing.
    SnapButton->setFocusPolicy(Qt::NoFocus);
    SnapButton->setPopupMode(QToolButton::InstantPopup);
    SnapButton->setMenu(mnuSnap);
    SnapButton->setToolTip(QStringLiteral("右クリックで拾うスナップ"));
    StatusBar1->addPermanentWidget(SnapButton);
    ShowSnapKinds();
}

void TForm13::ShowSnapKinds()
{
    const unsigned kinds = SnapKinds();
    QString names;
    const QList<QAction *> items = mnuSnap->actions();
    for (int k = 0; k < SnapKindCount && k < items.size(); ++k) {
        const bool on = kinds & (1u << k);
        items[k]->setChecked(on);
        if (on)
            names += QString::fromUtf8(Short[k]);
    }
    SnapButton->setText(QStringLiteral("スナップ:")
                        + (names.isEmpty() ? QStringLiteral("なし") : names));
}

bool TForm13::SnapAt(double x, double y, SnapResult &out) const
{
    if (!command.Waiting() || !(view.Rect().scale > 0))
        return false;
    SnapQuery q;
    q.x = x;
    q.y = y;
    q.tolerance = 5 / view.Rect().scale;
    q.kinds = SnapKinds();
    q.hasLast = command.Taken(q.lastX, q.lastY);
    q.grid = CurGrid;
    const std::vector<std::pair<double, double>> corners = sheetFrame.Corners();
    q.corners = &corners;
    return FindSnap(*model, q, out);
}

void TForm13::SnapPoint(double x, double y)
{
    SnapResult s;
    if (SnapAt(x, y, s))
        TakePoint(s.x, s.y);
}

void TForm13::TrackSnap(double x, double y)
{
    SnapResult s;
    const bool found = SnapAt(x, y, s);
    const ViewParams v = view.Params();
    const double px = std::round((s.x - v.x1) * v.scale);
    const double py = v.height - std::round((s.y - v.y1) * v.scale);
    // Far off the paint box, the marker is not seen anyway.
    const bool seen = found && std::fabs(px) < 1e6 && std::fabs(py) < 1e6;
    if (markerShown && seen && markerKind == int(s.kind) && markerX == int(px)
        && markerY == int(py))
        return;
    if (!markerShown && !seen)
        return;
    if (markerShown)
        DrawMarker();
    markerShown = seen;
    if (seen) {
        markerKind = int(s.kind);
        markerX = int(px);
        markerY = int(py);
        DrawMarker();
    }
    ShowScreen();
}

void TForm13::HideMarker()
{
    if (!markerShown)
        return;
    DrawMarker();
    markerShown = false;
    ShowScreen();
}

// XOR, as the band: drawing it again takes it off.
void TForm13::DrawMarker()
{
    if (screen.isNull())
        return;
    std::vector<QPoint> path;
    markerPath(markerKind, path);
    Canvas canvas(screen);
    SetXorMode(canvas);
    SetPen(canvas, 0x00FFFF, 0, 1);
    bool moved = false;
    for (const QPoint &p : path) {
        if (p.x() == -99) {
            moved = false;
        } else if (!moved) {
            canvas.MoveTo(markerX + p.x(), markerY + p.y());
            moved = true;
        } else {
            canvas.LineTo(markerX + p.x(), markerY + p.y());
        }
    }
}
