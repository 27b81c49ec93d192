// The commands that move figures about: move, copy, rotate, mirror and scale, each one small
// class on the selected figures, with the figures carried by one transform.
#include "editor/commands/drawcommand.h"
#include "editor/commands/reshapecommands.h"

#include "editor/model/geometry.h"
#include "editor/model/transform.h"

#include <cmath>

using Geometry::Transform;

namespace {

// Past this many figures the band is the selection's outline, which keeps it quick.
constexpr size_t BandFigures = 2000;

QString changedBadly()
{
    return QStringLiteral("変更後の値が正しくないため変更しません");
}

double direction(double x1, double y1, double x2, double y2)
{
    return std::atan2(y2 - y1, x2 - x1) * 180 / Geometry::Pi;
}

class TransformCommand : public Command
{
public:
    bool Selects() const override { return true; }
    bool Changes() const override { return true; }
    bool Ends() const override { return true; }
    std::vector<Shape> Figure(const double *px, const double *py, double x,
                              double y) const override
    {
        Transform t;
        QString why;
        std::vector<Shape> band = guide(px, py, x, y);
        if (!transform(px, py, x, y, t, why))
            return band;
        if (subjects.size() > BandFigures) {
            for (Shape s : outline()) {
                if (Geometry::Apply(t, s))
                    band.push_back(std::move(s));
            }
            return band;
        }
        for (const Subject &s : subjects) {
            Shape shape = s.record.shape;
            if (Geometry::Apply(t, shape))
                band.push_back(std::move(shape));
        }
        return band;
    }
    QString Empty(const std::vector<Shape> &) const override { return QString(); }
    Change Make(const double *px, const double *py, double x, double y,
                QString &why) const override
    {
        Transform t;
        Change change;
        if (!transform(px, py, x, y, t, why))
            return change;
        for (const Subject &s : subjects) {
            EntityRecord r = s.record;
            if (!Geometry::Apply(t, r.shape)) {
                why = changedBadly();
                return Change();
            }
            r.entity = EntityRow();
            r.row = 0;
            change.created.push_back(std::move(r));
            if (!keeps())
                change.erased.push_back(s.entity);
        }
        return change;
    }
    ValueTaken Value(int given, const double *v, int count, QString &why) override
    {
        if (count != 1 || !takesValue(given))
            return ValueTaken::No;
        if (!valueFits(v[0], why))
            return ValueTaken::Kept;
        typed = true;
        value = v[0];
        return ValueTaken::Finishes;
    }
    void Finished() override { typed = false; }

protected:
    // The transform the points give; false with why when they give none.
    virtual bool transform(const double *px, const double *py, double x, double y,
                           Transform &t, QString &why) const = 0;
    // Whether the originals stay.
    virtual bool keeps() const { return false; }
    // A line from the base to the pointer, drawn with the band.
    virtual std::vector<Shape> guide(const double *px, const double *py, double x,
                                     double y) const
    {
        return {LineShape{px[0], py[0], x, y}};
    }
    virtual bool takesValue(int) const { return false; }
    virtual bool valueFits(double, QString &) const { return true; }

    bool typed = false;
    double value = 0;

private:
    // The box around the figures' ends, centres and anchors.
    std::vector<Shape> outline() const
    {
        double x1 = INFINITY, y1 = INFINITY, x2 = -INFINITY, y2 = -INFINITY;
        const auto take = [&](double x, double y) {
            x1 = std::min(x1, x);
            y1 = std::min(y1, y);
            x2 = std::max(x2, x);
            y2 = std::max(y2, y);
        };
        for (const Subject &s : subjects) {
            if (const auto *l = std::get_if<LineShape>(&s.record.shape)) {
                take(l->x1, l->y1);
                take(l->x2, l->y2);
            } else if (const auto *c = std::get_if<CircleShape>(&s.record.shape)) {
                take(c->cx - c->r, c->cy - c->r);
                take(c->cx + c->r, c->cy + c->r);
            } else if (const auto *a = std::get_if<ArcShape>(&s.record.shape)) {
                const PaperBox b = Geometry::ArcBox(*a);
                take(b.x1, b.y1);
                take(b.x2, b.y2);
            } else if (const auto *t = std::get_if<TextShape>(&s.record.shape)) {
                take(t->px, t->py);
            }
        }
        if (!(x1 <= x2 && y1 <= y2))
            return {};
        return {LineShape{x1, y1, x2, y1}, LineShape{x2, y1, x2, y2}, LineShape{x2, y2, x1, y2},
                LineShape{x1, y2, x1, y1}};
    }
};

class MoveFiguresCommand : public TransformCommand
{
public:
    QString Name() const override { return QStringLiteral("移動"); }
    int Points() const override { return 2; }
    QString Prompt(int given) const override
    {
        return given == 0 ? QStringLiteral("基点を指示して下さい")
                          : QStringLiteral("移動先を指示して下さい");
    }

protected:
    bool transform(const double *px, const double *py, double x, double y, Transform &t,
                   QString &why) const override
    {
        if (std::hypot(x - px[0], y - py[0]) < 1e-9) {
            why = QStringLiteral("移動量が０のため変更しません");
            return false;
        }
        t = Transform::Move(x - px[0], y - py[0]);
        return true;
    }
};

class CopyFiguresCommand : public MoveFiguresCommand
{
public:
    QString Name() const override { return QStringLiteral("複写"); }
    QString Prompt(int given) const override
    {
        return given == 0 ? QStringLiteral("基点を指示して下さい")
                          : QStringLiteral("複写先を指示して下さい（Esc で終了）");
    }
    int Again() const override { return 1; }
    bool Ends() const override { return false; }

protected:
    bool keeps() const override { return true; }
};

class RotateFiguresCommand : public TransformCommand
{
public:
    QString Name() const override { return QStringLiteral("回転"); }
    int Points() const override { return 2; }
    QString Prompt(int given) const override
    {
        return given == 0 ? QStringLiteral("回転の中心を指示して下さい")
                          : QStringLiteral("回転角度を入力するか方向を指示して下さい");
    }

protected:
    bool transform(const double *px, const double *py, double x, double y, Transform &t,
                   QString &why) const override
    {
        double angle = value;
        if (!typed) {
            if (std::hypot(x - px[0], y - py[0]) < 1e-9) {
                why = QStringLiteral("方向が決まらないため回転しません");
                return false;
            }
            angle = direction(px[0], py[0], x, y);
        }
        if (std::fabs(std::remainder(angle, 360.0)) < 1e-9) {
            why = QStringLiteral("回転角度が０のため変更しません");
            return false;
        }
        t = Transform::Rotate(px[0], py[0], angle);
        return true;
    }
    bool takesValue(int given) const override { return given == 1; }
    bool valueFits(double v, QString &why) const override
    {
        if (std::fabs(v) <= 1e6)
            return true;
        why = QStringLiteral("回転角度が大きすぎます");
        return false;
    }
};

class MirrorFiguresCommand : public TransformCommand
{
public:
    explicit MirrorFiguresCommand(const bool *keepOriginals) : keepOriginals(keepOriginals) {}
    QString Name() const override { return QStringLiteral("反転"); }
    int Points() const override { return 2; }
    QString Prompt(int given) const override
    {
        return given == 0 ? QStringLiteral("反転軸の始点を指示して下さい")
                          : QStringLiteral("反転軸の終点を指示して下さい");
    }

protected:
    bool transform(const double *px, const double *py, double x, double y, Transform &t,
                   QString &why) const override
    {
        t = Transform::Mirror(px[0], py[0], x, y);
        if (!t.Valid())
            why = QStringLiteral("反転軸の長さが０のため反転しません");
        return t.Valid();
    }
    bool keeps() const override { return *keepOriginals; }

private:
    const bool *keepOriginals;
};

// 倍率: a base point, then the factor typed, or a reference point and a point at the new
// size from the base.
class ScaleFiguresCommand : public TransformCommand
{
public:
    QString Name() const override { return QStringLiteral("倍率"); }
    int Points() const override { return 3; }
    QString Prompt(int given) const override
    {
        return given == 0   ? QStringLiteral("基点を指示して下さい")
               : given == 1 ? QStringLiteral("倍率を入力するか参照点を指示して下さい")
                            : QStringLiteral("新しい大きさの点を指示して下さい");
    }

protected:
    bool transform(const double *px, const double *py, double x, double y, Transform &t,
                   QString &why) const override
    {
        double factor = value;
        if (!typed) {
            const double from = std::hypot(px[1] - px[0], py[1] - py[0]);
            if (from < 1e-9) {
                why = QStringLiteral("参照点が基点と同じため倍率が決まりません");
                return false;
            }
            factor = std::hypot(x - px[0], y - py[0]) / from;
        }
        if (!valueFits(factor, why))
            return false;
        t = Transform::Scale(px[0], py[0], factor);
        return true;
    }
    std::vector<Shape> guide(const double *px, const double *py, double x,
                             double y) const override
    {
        return typed ? std::vector<Shape>{} : std::vector<Shape>{LineShape{px[0], py[0], x, y}};
    }
    bool takesValue(int given) const override { return given == 1; }
    bool valueFits(double v, QString &why) const override
    {
        if (std::isfinite(v) && v > 1e-6 && v < 1e6)
            return true;
        why = QStringLiteral("倍率は０より大きい数値で入力して下さい");
        return false;
    }
};

} // namespace

std::unique_ptr<Command> MakeChangeCommand(int code, ChangeOptions *options)
{
    switch (code) {
    case MoveCommand:
        return std::make_unique<MoveFiguresCommand>();
    case CopyCommand:
        return std::make_unique<CopyFiguresCommand>();
    case RotateCommand:
        return std::make_unique<RotateFiguresCommand>();
    case MirrorCommand:
        return std::make_unique<MirrorFiguresCommand>(&options->mirrorKeeps);
    case ScaleCommand:
        return std::make_unique<ScaleFiguresCommand>();
    default:
        return MakeReshapeCommand(code, options);
    }
}
