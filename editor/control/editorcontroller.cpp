#include "editor/control/editorcontroller.h"

#include "base/values.h"
#include "db/registerrows.h"
#include "editor/commands/pointinput.h"
#include "editor/drawingloader.h"
#include "editor/model/drawingmodel.h"
#include "editor/model/sheetframe.h"
#include "editor/output/dxfstore.h"
#include "editor/pen/canvas.h"
#include "editor/view/renderer.h"
#include "editor/view/snap.h"
#include "editor/view/tiles.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

namespace {

// A press and release further apart than this along either axis frame; nearer, they pick.
constexpr int ClickSlack = 3;
constexpr double PickPixels = 5;
// The snap marker's half size in pixels.
constexpr int M = 4;

// Corners of each marker's outline, closed; a kind's second stroke after a break (-99).
void markerPath(int kind, std::vector<std::pair<int, int>> &p)
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

// What the status bar adds when another PC changed some of the lines first.
QString meanwhile(const StoredOperation &out, bool erase)
{
    const int changed = out.alreadySet + out.missing;
    if (changed == 0)
        return QString();
    if (erase)
        return QStringLiteral("（うち %1 本は他のPCで既に削除されていました）").arg(changed);
    return QStringLiteral("（うち %1 本は他のPCで変更されていました）").arg(changed);
}

} // namespace

EditorController::EditorController(Database &database, int drawingNo, double paperWidth,
                                   double paperHeight, EditorHost &editorHost)
    : DrawingNo(drawingNo), PaperWidth(paperWidth), PaperHeight(paperHeight), db(database),
      host(editorHost), model(std::make_unique<DrawingModel>(drawingNo))
{
}

EditorController::~EditorController() = default;

void EditorController::Changed() const
{
    host.ScreenChanged();
}

// ---- the picture

void EditorController::Redraw(int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    if (view.Width() != width || view.Height() != height)
        view.Resize(width, height);
    QImage next(width, height, QImage::Format_RGB32);
    if (next.isNull())
        return;
    RenderPictureInBands(next, view.Params(), *model,
                         {PaperWidth, PaperHeight, current.grid, sheetFrame});
    plain = std::move(next);
    plainView = view.Params();
    ShowSelection();
}

void EditorController::RedrawChanged(const std::vector<int32_t> &entities)
{
    const ViewParams now = view.Params();
    const bool same = !plain.isNull() && now.x1 == plainView.x1 && now.y1 == plainView.y1
                      && now.scale == plainView.scale && now.width == plainView.width
                      && now.height == plainView.height;
    if (same && RenderChanged(plain, now, *model,
                              {PaperWidth, PaperHeight, current.grid, sheetFrame}, entities)) {
        ShowSelection();
        return;
    }
    Redraw();
}

void EditorController::ViewChanged(bool changed)
{
    if (!changed)
        return;
    // The view change is the moment another PC's work is looked for.
    std::vector<int32_t> touched;
    const ::Refresh r =
        loaded && !gone ? UpdateModel(db, *model, &touched) : ::Refresh::Unchanged;
    if (r == ::Refresh::Failed)
        host.Reread();
    const Sheet sheet{PaperWidth, PaperHeight, current.grid, sheetFrame};
    // The picture before last is drawn over once nothing shows it any more.
    QImage next = std::move(spare);
    if ((r == ::Refresh::Unchanged || (r == ::Refresh::Changed && !touched.empty()))
        && !plain.isNull() && RenderPanned(plain, plainView, view.Params(), *model, sheet, next)
        && (touched.empty() || RenderChanged(next, view.Params(), *model, sheet, touched))) {
        spare = std::move(plain);
        plain = std::move(next);
        plainView = view.Params();
        ShowSelection();
        return;
    }
    Redraw();
}

bool EditorController::ShowScaledCopy()
{
    const ViewParams from = plainView;
    const ViewParams to = view.Params();
    const QSize size(to.width, to.height);
    const double f = to.scale / from.scale;
    // A middle drag moves its own copy; a scale far from the picture's is not worth showing.
    if (dragging || picture.isNull() || picture.size() != size || from.width != to.width
        || from.height != to.height || !(f >= 1.0 / 64 && f <= 64))
        return false;
    QImage copy(size, QImage::Format_RGB32);
    if (copy.isNull())
        return false;
    copy.fill(Qt::white);
    {
        QPainter p(&copy);
        // The new view's top left corner lies this far into the picture.
        p.scale(f, f);
        p.translate(-(to.x1 - from.x1) * from.scale, -(from.y2 - to.y2) * from.scale);
        p.drawImage(0, 0, picture);
    }
    base = std::move(copy);
    DropFigures();
    Changed();
    return true;
}

void EditorController::DragBy(int dx, int dy)
{
    if (picture.isNull())
        return;
    dragging = true;
    DropFigures();
    QImage moved(picture.size(), QImage::Format_RGB32);
    moved.fill(Qt::white);
    QPainter p(&moved);
    p.drawImage(dx, dy, picture);
    p.end();
    base = std::move(moved);
    Changed();
}

void EditorController::EndDrag(int x0, int y0, int x1, int y1)
{
    dragging = false;
    const PaperPoint p0 = view.ToPaper(x0, y0);
    const PaperPoint p1 = view.ToPaper(x1, y1);
    if (!view.MoveBy(p0.x - p1.x, p0.y - p1.y)) {
        base = picture;
        Changed();
        return;
    }
    ViewChanged(true);
}

void EditorController::ShowSelection()
{
    if (plain.isNull())
        return;
    selection.KeepLive(*model);
    if (selection.Empty()) {
        picture = plain;
    } else {
        picture = plain.copy();
        Canvas canvas(picture);
        RenderHighlight(canvas, view.Params(), *model, selection.Entities());
    }
    base = picture;
    DropFigures();
    Changed();
}

void EditorController::DropFigures()
{
    frameShown = false;
    zoomShown = false;
    markerShown = false;
}

bool EditorController::RubberShown() const
{
    return command.AsksLast() && !base.isNull() && !dragging;
}

QImage EditorController::Screen() const
{
    if (base.isNull())
        return base;
    if (!RubberShown() && !frameShown && !zoomShown && !markerShown)
        return base;
    QImage screen = base.copy();
    PaintFigures(screen);
    return screen;
}

// In XOR, so that each figure shows on any colour under it.
void EditorController::PaintFigures(QImage &image) const
{
    Canvas canvas(image);
    SetXorMode(canvas);
    if (RubberShown()) {
        SetPen(canvas, 0xFFFF00, 0, 1);
        RenderBand(canvas, view.Params(), command.Rubber(pickX, pickY));
    }
    if (frameShown) {
        // Dragged to the left, the frame takes what it touches and is drawn dashed.
        SetPen(canvas, 0xFFFF00, frameX2 < pressX ? 1 : 0, 1);
        DrawFrameRect(canvas, pressX, pressY, frameX2, frameY2);
    }
    if (zoomShown) {
        SetPen(canvas, 0xFFFF00, 0, 3);
        DrawFrameRect(canvas, pressX, pressY, zoomX2, zoomY2);
    }
    if (markerShown) {
        std::vector<std::pair<int, int>> path;
        markerPath(markerKind, path);
        SetPen(canvas, 0x00FFFF, 0, 1);
        bool moved = false;
        for (const auto &[x, y] : path) {
            if (x == -99) {
                moved = false;
            } else if (!moved) {
                canvas.MoveTo(markerX + x, markerY + y);
                moved = true;
            } else {
                canvas.LineTo(markerX + x, markerY + y);
            }
        }
    }
}

// ---- commands and points

void EditorController::StartCommand(int code)
{
    HideMarker();
    if (code == TextCommand || code == DimLeader) {
        TextShape text = command.Text();
        if (!host.AskText(text, false)) {
            // A leader asked for first keeps the command running before it.
            if (code == DimLeader)
                return;
            code = NoCommand;
        } else {
            command.SetText(text);
        }
    }
    command.Start(code);
    // Picked or framed first, the figures go to the command at once.
    if (command.Changes() && !selection.Empty())
        HandSelection();
    host.CommandChanged();
    Changed();
}

void EditorController::StartMeasure()
{
    QString measured;
    if (selection.Size() == 1) {
        if (const Entity *e = model->Find(selection.Entities().front())) {
            const PaperShape shape = model->Paper(*e);
            if (const auto *l = std::get_if<LineShape>(&shape))
                measured = MeasureText(*l);
            else if (const auto *c = std::get_if<CircleShape>(&shape))
                measured = MeasureText(*c);
            else if (const auto *a = std::get_if<ArcShape>(&shape))
                measured = MeasureText(*a);
            else if (std::holds_alternative<TextRef>(shape))
                host.Note(QStringLiteral("文字は測定出来ません"));
        }
    }
    StartCommand(MeasureCommand);
    if (!measured.isEmpty()) {
        QGuiApplication::clipboard()->setText(measured);
        host.Note(measured, true);
    }
}

void EditorController::ShowMeasured(const Shape &band)
{
    const LineShape *l = std::get_if<LineShape>(&band);
    if (!l)
        return;
    const QString measured = MeasureText(l->x1, l->y1, l->x2, l->y2);
    QGuiApplication::clipboard()->setText(measured);
    host.Note(measured, true);
}

void EditorController::PointerAt(int px, int py)
{
    const PaperPoint p = view.ToPaper(px, py);
    TrackPoint(p.x, p.y);
}

void EditorController::TrackPoint(double x, double y)
{
    if (!command.Waiting())
        return;
    TrackSnap(x, y);
    double gx, gy;
    if (!GridPoint(x, y, current.grid, gx, gy))
        return;
    HoldPoint(gx, gy);
    const bool moved = !RubberShown() || command.RubberMoved(pickX, pickY, gx, gy);
    pickX = gx;
    pickY = gy;
    if (moved && RubberShown())
        Changed();
}

void EditorController::ClickAt(int px, int py)
{
    const PaperPoint p = view.ToPaper(px, py);
    GivePoint(p.x, p.y);
}

void EditorController::SnapClickAt(int px, int py)
{
    const PaperPoint p = view.ToPaper(px, py);
    SnapResult s;
    if (SnapAt(p.x, p.y, s))
        TakePoint(s.x, s.y);
}

void EditorController::GivePoint(double x, double y)
{
    double gx, gy;
    if (!command.Waiting())
        return;
    if (!GridPoint(x, y, current.grid, gx, gy))
        return;
    // A figure is picked where the pointer is; the grid point near it is the point taken
    // when it lies on the same figure.
    if (command.Picks()) {
        PickAt(x, y, gx, gy);
        return;
    }
    HoldPoint(gx, gy);
    TakePoint(gx, gy);
}

void EditorController::TakePoint(double x, double y)
{
    // The marker found from the point before may not be what a click now takes.
    HideMarker();
    pickX = x;
    pickY = y;
    if (command.Picks()) {
        PickAt(x, y, x, y);
        return;
    }
    AfterGiven(command.Give(x, y));
}

void EditorController::HoldPoint(double &x, double &y) const
{
    // The horizontal and vertical lines hold themselves; their through point is no origin.
    if (!ortho || command.Code() == HorizontalLine || command.Code() == VerticalLine)
        return;
    double lastX, lastY;
    if (command.Last(lastX, lastY))
        HoldOrtho(lastX, lastY, x, y);
}

void EditorController::SetOrtho(bool on)
{
    ortho = on;
}

QString EditorController::Relative() const
{
    double lastX, lastY;
    if (!command.Waiting() || !command.Last(lastX, lastY))
        return QString();
    return RelativeText(lastX, lastY, pickX, pickY);
}

EditorController::Entry EditorController::EnterText(const QString &text)
{
    if (!command.Waiting())
        return Entry::Ignored;
    if (command.Selecting()) {
        EndSelecting();
        return Entry::Taken;
    }
    if (EnterValue(text))
        return Entry::Taken;
    double lastX = 0, lastY = 0;
    const bool hasLast = command.Last(lastX, lastY);
    const PointEntry entry = ReadPointEntry(text, hasLast, lastX, lastY);
    double x = entry.x, y = entry.y;
    QString error = entry.error;
    if (entry.kind == PointEntry::Nothing)
        return Entry::Ignored;
    if (entry.kind == PointEntry::Length
        && !PointToward(lastX, lastY, pickX, pickY, entry.length, x, y))
        error = QStringLiteral("方向が決まらないため長さだけの入力は使えません"
                               "（ポインタで方向を示して下さい）");
    if (!error.isEmpty()) {
        // Kept for mending; the command waits on.
        inputError = error;
        host.Note(error);
        return Entry::Refused;
    }
    if (!inputError.isEmpty() && host.NoteShown() == inputError)
        host.Note(QString());
    inputError.clear();
    // Exactly as typed: neither the grid nor ortho moves it.
    TakePoint(x, y);
    return Entry::Taken;
}

bool EditorController::EnterValue(const QString &text)
{
    if (!command.Changes() || !command.TakesValue())
        return false;
    // Any number, not a point: the last point does not matter here.
    const PointEntry entry = ReadPointEntry(text, true, 0, 0);
    const bool plainNumber = !text.contains(u'@') && !text.contains(u'＠')
                             && !text.contains(u'<') && !text.contains(u'＜');
    double values[2] = {entry.length, 0};
    int count = 1;
    if (entry.kind == PointEntry::Point && plainNumber) {
        values[0] = entry.x;
        values[1] = entry.y;
        count = 2;
    } else if (entry.kind != PointEntry::Length) {
        return false;
    }
    if (!command.GiveValue(values, count))
        return false;
    AfterGiven({});
    return true;
}

void EditorController::Escape()
{
    if (command.Changes() && command.StepBack()) {
        host.CommandChanged();
        Changed();
        return;
    }
    CancelCommand();
    ClearSelection();
}

void EditorController::EndSelecting()
{
    if (!command.Selecting())
        return;
    HandSelection();
    host.CommandChanged();
}

bool EditorController::SnapAt(double x, double y, SnapResult &out) const
{
    if (!command.Waiting() || !(view.Rect().scale > 0))
        return false;
    SnapQuery q;
    q.x = x;
    q.y = y;
    q.tolerance = 5 / view.Rect().scale;
    q.kinds = host.SnapKinds();
    q.hasLast = command.Taken(q.lastX, q.lastY);
    q.grid = current.grid;
    const std::vector<std::pair<double, double>> corners =
        sheetFrame ? sheetFrame->Corners() : std::vector<std::pair<double, double>>();
    q.corners = &corners;
    return FindSnap(*model, q, out);
}

void EditorController::TrackSnap(double x, double y)
{
    SnapResult s;
    const bool found = SnapAt(x, y, s);
    const ViewParams v = view.Params();
    const double px = std::round((s.x - v.x1) * v.scale);
    const double py = v.height - std::round((s.y - v.y1) * v.scale);
    // Far off the paint box, the marker is not seen anyway.
    const bool seen = found && std::fabs(px) < 1e6 && std::fabs(py) < 1e6;
    if (markerShown == seen
        && (!seen || (markerKind == int(s.kind) && markerX == int(px) && markerY == int(py))))
        return;
    markerShown = seen;
    if (seen) {
        markerKind = int(s.kind);
        markerX = int(px);
        markerY = int(py);
    }
    Changed();
}

void EditorController::HideMarker()
{
    if (!markerShown)
        return;
    markerShown = false;
    Changed();
}

// ---- modify commands

bool EditorController::SubjectOf(int32_t entity, Subject &out) const
{
    const Entity *e = model->Find(entity);
    out.entity = entity;
    return e && model->PaperRecord(*e, out.record);
}

void EditorController::HandSelection()
{
    selection.KeepLive(*model);
    std::vector<Subject> subjects;
    for (int32_t n : selection.Entities()) {
        Subject s;
        if (SubjectOf(n, s))
            subjects.push_back(std::move(s));
    }
    if (subjects.empty()) {
        if (command.Selecting())
            host.Note(QStringLiteral("図形が選択されていません"));
        return;
    }
    command.SetSubjects(std::move(subjects));
}

void EditorController::PickAt(double x, double y, double gx, double gy)
{
    const double tolerance = PickPixels / view.Rect().scale;
    const int32_t picked = PickEntity(*model, x, y, tolerance);
    Subject s;
    if (!picked || !SubjectOf(picked, s)) {
        host.Note(QStringLiteral("図形がありません"));
        return;
    }
    if (PickEntity(*model, gx, gy, tolerance) == picked) {
        x = gx;
        y = gy;
    }
    command.GivePick(s, x, y);
    AfterGiven({});
}

void EditorController::AfterGiven(const std::vector<Shape> &shapes)
{
    host.CommandChanged();
    if (!command.Note().isEmpty())
        host.Note(command.Note());
    Changed();
    if (!shapes.empty() && !command.Stores()) {
        ShowMeasured(shapes.front());
        return;
    }
    const Change change = command.TakeChange();
    bool stored = true;
    if (!shapes.empty())
        stored = StoreFigure(shapes);
    else if (!change.Empty())
        stored = StoreModify(change);
    if (stored && command.Ended()) {
        StartCommand(NoCommand);
        return;
    }
    if (!stored && lastStore == StoreResult::Gone) {
        // What was picked or selected is gone: the command starts over from the drawing
        // as it now is.
        const int code = command.Code();
        host.Reread();
        StartCommand(code);
        return;
    }
    if (!stored) {
        // Kept on screen, the figure is stored by one more click once the database answers.
        command.TakeBack();
        host.CommandChanged();
        Changed();
    }
}

// ---- storing

EntityLook EditorController::Look() const
{
    return {int16_t(current.layer), int16_t(current.colour), int16_t(current.lineType),
            int16_t(current.width)};
}

bool EditorController::StoreFigure(const std::vector<Shape> &shapes)
{
    ChangeSet changes;
    changes.name = command.Name().remove(u'　') + QStringLiteral("の作図");
    changes.member = host.Member();
    for (const Shape &shape : shapes) {
        EntityRecord e;
        e.look = Look();
        e.shape = shape;
        changes.created.push_back(e);
    }
    return StoreChangeSet(changes);
}

bool EditorController::StoreModify(const Change &change)
{
    ChangeSet changes;
    changes.name = command.Name();
    changes.member = host.Member();
    changes.created = change.created;
    changes.erased = change.erased;
    changes.replaces = !change.erased.empty();
    const bool moved = command.Selects() && !change.erased.empty();
    if (!StoreChangeSet(changes))
        return false;
    // The figures moved stay selected, for the next change.
    if (moved) {
        std::vector<int32_t> created = history.NextUndo()->created;
        std::sort(created.begin(), created.end());
        selection.Set(std::move(created));
        ShowSelection();
    }
    host.Note(QStringLiteral("%1：%2 個の図形を作図しました")
                  .arg(changes.name)
                  .arg(change.created.size()));
    return true;
}

bool EditorController::StoreChangeSet(const ChangeSet &changes)
{
    if (gone) {
        // The tables another PC deleted may have been made anew for a new drawing.
        host.Tell(QStringLiteral("この図面のデータは削除されているため登録出来ません"));
        return false;
    }
    StoredOperation stored;
    lastStore = StoreChanges(db, DrawingNo, changes, HintsOf(*model), stored);
    switch (lastStore) {
    case StoreResult::Gone:
        host.Note(QStringLiteral("他のPCで消去された図形があるため変更しませんでした"));
        return false;
    case StoreResult::BadScale:
        host.Tell(QStringLiteral("レイヤ%1の尺度が正しくないため登録出来ません。"
                                 "レイヤの設定で尺度を直して下さい。")
                      .arg(changes.created.empty() ? current.layer
                                                   : changes.created.front().look.layer));
        return false;
    case StoreResult::BadText:
        host.Tell(QStringLiteral("文字が長すぎるか使用出来ない文字が含まれているため"
                                 "登録出来ません"));
        return false;
    case StoreResult::Failed:
        host.Tell(changes.created.empty() ? QStringLiteral("変更失敗")
                                          : QStringLiteral("登録失敗"));
        return false;
    case StoreResult::Stored:
        break;
    }
    TakeStored(changes.name, stored);
    NoteContentsChanged();
    return true;
}

void EditorController::NoteContentsChanged()
{
    if (!host.AutoDates())
        return;
    // One register write a day for a drawing, however many editors on this PC change it.
    static std::map<int, QString> touched;
    const QString today = TodayText();
    QString &day = touched[DrawingNo];
    if (day == today)
        return;
    // A drawing without a register row (or a register another PC dropped) is left alone.
    day = today;
    TouchDrawingUpdateDate(db, DrawingNo, today);
}

void EditorController::TakeStored(const QString &name, const StoredOperation &stored)
{
    EditStep step{name, {}, stored.erased, stored.restored};
    for (const EntityRecord &e : stored.rows)
        step.created.push_back(e.entity.n);
    std::vector<int32_t> changed = step.created;
    changed.insert(changed.end(), stored.erased.begin(), stored.erased.end());
    changed.insert(changed.end(), stored.restored.begin(), stored.restored.end());
    history.Done(std::move(step));
    // While the drawing still loads, the load reads them in their turn.
    if (!loaded)
        return;
    model->TakeStored(stored.rows, stored.erased, stored.restored, stored.operation,
                      stored.firstHistory);
    if (plain.isNull())
        return;
    if (stored.erased.empty() && stored.restored.empty()) {
        Canvas canvas(plain);
        for (const EntityRecord &e : stored.rows) {
            if (const Entity *in = model->Find(e.entity.n))
                RenderEntity(canvas, view.Params(), *model, *in);
        }
        ShowSelection();
        return;
    }
    selection.KeepLive(*model);
    RedrawChanged(changed);
}

bool EditorController::StoreStates(const std::vector<int32_t> &erase,
                                   const std::vector<int32_t> &restore, StoredOperation &out)
{
    // Entity numbers of deleted tables would name other entities in tables made anew.
    if (gone)
        return false;
    ChangeSet changes;
    changes.member = host.Member();
    changes.erased = erase;
    changes.restored = restore;
    if (StoreChanges(db, DrawingNo, changes, HintsOf(*model), out) != StoreResult::Stored)
        return false;
    model->TakeStored({}, out.erased, out.restored, out.operation, out.firstHistory);
    NoteContentsChanged();
    return true;
}

// ---- selection, erase, undo

void EditorController::PressAt(int px, int py)
{
    pressX = px;
    pressY = py;
}

void EditorController::FrameTo(int px, int py)
{
    if (!frameShown && std::abs(px - pressX) <= ClickSlack && std::abs(py - pressY) <= ClickSlack)
        return;
    frameShown = true;
    frameX2 = px;
    frameY2 = py;
    Changed();
}

void EditorController::HideFrame()
{
    if (!frameShown)
        return;
    frameShown = false;
    Changed();
}

void EditorController::ZoomFrameTo(int px, int py)
{
    frameShown = false;
    zoomShown = true;
    zoomX2 = px;
    zoomY2 = py;
    Changed();
}

void EditorController::HideZoomFrame()
{
    if (!zoomShown)
        return;
    zoomShown = false;
    Changed();
}

void EditorController::SelectAt(int px, int py, bool shift)
{
    frameShown = false;
    if (std::abs(px - pressX) <= ClickSlack && std::abs(py - pressY) <= ClickSlack) {
        const PaperPoint p = view.ToPaper(px, py);
        const int32_t picked = PickEntity(*model, p.x, p.y, PickPixels / view.Rect().scale);
        if (shift) {
            if (picked)
                selection.Toggle(picked);
        } else if (picked) {
            selection.Set({picked});
        } else {
            selection.Clear();
        }
    } else {
        const PaperPoint p0 = view.ToPaper(pressX, pressY), p1 = view.ToPaper(px, py);
        std::vector<int32_t> framed =
            FrameEntities(*model, {p0.x, p0.y, p1.x, p1.y}, px < pressX);
        if (shift)
            selection.Add(framed);
        else
            selection.Set(std::move(framed));
    }
    ShowSelection();
    host.Note(selection.Empty() ? QString()
                                : QStringLiteral("%1 本選択").arg(selection.Size()));
}

bool EditorController::EditTextAt(int px, int py)
{
    if (command.Waiting() || !loaded)
        return false;
    const PaperPoint p = view.ToPaper(px, py);
    const int32_t picked = PickEntity(*model, p.x, p.y, PickPixels / view.Rect().scale);
    const Entity *e = picked ? model->Find(picked) : nullptr;
    if (!e || !std::holds_alternative<TextRef>(e->shape))
        return false;
    EditText(picked);
    return true;
}

void EditorController::EditText(int32_t entity)
{
    const Entity *e = model->Find(entity);
    EntityRecord old;
    if (!e || !std::holds_alternative<TextRef>(e->shape) || !model->PaperRecord(*e, old))
        return;
    const TextShape text = std::get<TextShape>(old.shape);
    TextShape changed = text;
    if (!host.AskText(changed, true))
        return;
    changed.px = text.px;
    changed.py = text.py;
    EntityRecord next = old;
    next.shape = changed;
    ChangeSet changes;
    changes.name = QStringLiteral("文字の変更");
    changes.member = host.Member();
    changes.created.push_back(next);
    changes.erased.push_back(entity);
    changes.replaces = true;
    StoreChangeSet(changes);
}

void EditorController::ClearSelection()
{
    if (selection.Empty())
        return;
    selection.Clear();
    ShowSelection();
    host.Note(QString());
}

QString EditorController::Counted(const std::vector<int32_t> &entities) const
{
    const bool lines = std::all_of(entities.begin(), entities.end(), [&](int32_t n) {
        const Entity *e = model->Find(n);
        return e && e->entity.type == KindLine;
    });
    return lines ? QStringLiteral("%1 本の線").arg(entities.size())
                 : QStringLiteral("%1 個の図形").arg(entities.size());
}

void EditorController::EraseSelected()
{
    selection.KeepLive(*model);
    if (selection.Empty()) {
        host.Note(QStringLiteral("削除する線が選択されていません"));
        return;
    }
    StoredOperation out;
    if (!StoreStates(selection.Entities(), {}, out)) {
        host.Tell(QStringLiteral("削除失敗"));
        return;
    }
    selection.Clear();
    const int count = int(out.erased.size());
    if (count == 0) {
        Redraw();
        host.Note(QStringLiteral("選択した線は既にありません"));
        return;
    }
    const QString what = Counted(out.erased);
    history.Done({what + QStringLiteral("の削除"), {}, out.erased, {}});
    RedrawChanged(out.erased);
    host.Note(what + QStringLiteral("を削除しました") + meanwhile(out, true));
}

void EditorController::Replay(bool back)
{
    const EditStep *step = back ? history.NextUndo() : history.NextRedo();
    if (!step) {
        host.Note(back ? QStringLiteral("元に戻す操作はありません")
                       : QStringLiteral("やり直す操作はありません"));
        return;
    }
    const QString name = step->name;
    StoredOperation out;
    if (!StoreStates(back ? step->UndoErases() : step->RedoErases(),
                     back ? step->UndoRestores() : step->RedoRestores(), out)) {
        host.Tell(QStringLiteral("変更失敗"));
        return;
    }
    back ? history.Undone() : history.Redone();
    std::vector<int32_t> changed = out.erased;
    changed.insert(changed.end(), out.restored.begin(), out.restored.end());
    RedrawChanged(changed);
    host.Note((back ? QStringLiteral("元に戻しました：") : QStringLiteral("やり直しました："))
              + name + meanwhile(out, false));
}
