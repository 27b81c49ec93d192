#include "editor/commands/reshapecommands.h"

#include "editor/model/reshape.h"

#include <cmath>

using Geometry::ReshapeFault;

namespace {

QString number(double v)
{
    return QString::number(v, 'g', 10);
}

QString faultText(ReshapeFault fault)
{
    switch (fault) {
    case ReshapeFault::None:
        return QString();
    case ReshapeFault::Unsupported:
        return QStringLiteral("この図形には使えません");
    case ReshapeFault::NoSize:
        return QStringLiteral("間隔か半径が正しくないため変更しません");
    case ReshapeFault::PastCentre:
        return QStringLiteral("中心を越えるため作図しません");
    case ReshapeFault::NoCrossing:
        return QStringLiteral("境界と交差しないため伸縮出来ません");
    case ReshapeFault::Parallel:
        return QStringLiteral("２本の線が平行なため角が出来ません");
    case ReshapeFault::TooBig:
        return QStringLiteral("大きすぎるため角に収まりません");
    case ReshapeFault::OnEnd:
        return QStringLiteral("端点では切断出来ません");
    }
    return QString();
}

bool drawable(const Shape &s)
{
    return std::holds_alternative<LineShape>(s) || std::holds_alternative<CircleShape>(s)
           || std::holds_alternative<ArcShape>(s);
}

// A new record of the picked figure's look with the shape.
EntityRecord like(const Subject &s, Shape shape)
{
    EntityRecord r;
    r.look = s.record.look;
    r.shape = std::move(shape);
    return r;
}

class ReshapeCommand : public Command
{
public:
    bool Changes() const override { return true; }
    QString Empty(const std::vector<Shape> &) const override { return QString(); }
    std::vector<Shape> Figure(const double *, const double *, double, double) const override
    {
        return {};
    }

    explicit ReshapeCommand(ChangeOptions *options) : options(options) {}

protected:
    ChangeOptions *options;
    Subject picked[2];
};

// 複線: a figure picked, then the side; the distance typed once for the following ones, or
// shown by the pointer.
class OffsetFigureCommand : public ReshapeCommand
{
public:
    using ReshapeCommand::ReshapeCommand;
    QString Name() const override { return QStringLiteral("複線"); }
    int Points() const override { return 2; }
    QString Prompt(int given) const override
    {
        const QString spacing = options->offset > 0
                                    ? QStringLiteral("間隔 %1 mm").arg(number(options->offset))
                                    : QStringLiteral("間隔はポインタで");
        return given == 0 ? QStringLiteral("元の図形を指示して下さい（%1）").arg(spacing)
                          : QStringLiteral("複線を作る側を指示して下さい（%1）").arg(spacing);
    }
    bool Picks(int given) const override { return given == 0; }
    QString Pick(int, const Subject &s) override
    {
        if (!drawable(s.record.shape))
            return QStringLiteral("線、円、円弧を指示して下さい");
        picked[0] = s;
        return QString();
    }
    ValueTaken Value(int, const double *v, int count, QString &why) override
    {
        if (count != 1)
            return ValueTaken::No;
        if (!(v[0] > 0 && v[0] < 1e6)) {
            why = QStringLiteral("間隔は０より大きい数値で入力して下さい");
            return ValueTaken::Kept;
        }
        options->offset = v[0];
        return ValueTaken::Kept;
    }
    std::vector<Shape> Figure(const double *, const double *, double x, double y) const override
    {
        Shape out;
        if (offset(x, y, out) != ReshapeFault::None)
            return {};
        return {out};
    }
    Change Make(const double *, const double *, double x, double y, QString &why) const override
    {
        Shape out;
        why = faultText(offset(x, y, out));
        if (!why.isEmpty())
            return {};
        return {{like(picked[0], out)}, {}};
    }

private:
    ReshapeFault offset(double x, double y, Shape &out) const
    {
        const Shape &s = picked[0].record.shape;
        const double d = options->offset > 0 ? options->offset
                                             : Geometry::OffsetDistance(s, x, y);
        return Geometry::Offset(s, d, x, y, out);
    }
};

// 伸縮: the boundaries (the selection, or one figure picked), then each figure to cut at
// them or to stretch to them.
class TrimFigureCommand : public ReshapeCommand
{
public:
    using ReshapeCommand::ReshapeCommand;
    QString Name() const override { return QStringLiteral("伸縮"); }
    int Points() const override { return 2; }
    int First() const override { return subjects.empty() ? 0 : 1; }
    int Again() const override { return 1; }
    QString Prompt(int given) const override
    {
        return given == 0 ? QStringLiteral("境界の図形を指示して下さい")
                          : QStringLiteral("切り取る部分か伸ばす端を指示して下さい（Esc で終了）");
    }
    bool Picks(int) const override { return true; }
    QString Pick(int given, const Subject &s) override
    {
        if (!drawable(s.record.shape))
            return QStringLiteral("線、円、円弧を指示して下さい");
        if (given == 0) {
            subjects = {s};
            return QString();
        }
        for (const Subject &b : subjects) {
            if (b.entity == s.entity)
                return QStringLiteral("境界の図形は伸縮出来ません");
        }
        picked[0] = s;
        return QString();
    }
    Change Make(const double *, const double *, double x, double y, QString &why) const override
    {
        std::vector<Shape> boundaries;
        for (const Subject &b : subjects)
            boundaries.push_back(b.record.shape);
        const Shape &target = picked[0].record.shape;
        std::vector<Shape> pieces;
        ReshapeFault fault = Geometry::Trim(target, x, y, boundaries, pieces);
        if (fault == ReshapeFault::NoCrossing && !std::holds_alternative<CircleShape>(target)) {
            Shape stretched;
            fault = Geometry::Extend(target, x, y, boundaries, stretched);
            pieces = {stretched};
        }
        why = faultText(fault);
        if (!why.isEmpty())
            return {};
        Change change;
        for (Shape &p : pieces)
            change.created.push_back(like(picked[0], std::move(p)));
        change.erased.push_back(picked[0].entity);
        return change;
    }
};

// 面取り and 角丸め: two figures picked on the parts kept; the distances or the radius typed.
class CornerCommand : public ReshapeCommand
{
public:
    using ReshapeCommand::ReshapeCommand;
    int Points() const override { return 2; }
    bool Picks(int) const override { return true; }
    QString Pick(int given, const Subject &s) override
    {
        if (!takes(s.record.shape))
            return refusal();
        if (given == 1 && s.entity == picked[0].entity)
            return QStringLiteral("同じ図形が２度指示されました");
        picked[given] = s;
        return QString();
    }

protected:
    virtual bool takes(const Shape &s) const = 0;
    virtual QString refusal() const = 0;
    Change corner(std::vector<Shape> made) const
    {
        Change change;
        for (size_t i = 0; i < made.size(); ++i)
            change.created.push_back(like(picked[i < 2 ? i : 0], std::move(made[i])));
        change.erased = {picked[0].entity, picked[1].entity};
        return change;
    }
};

class ChamferFigureCommand : public CornerCommand
{
public:
    using CornerCommand::CornerCommand;
    QString Name() const override { return QStringLiteral("面取り"); }
    QString Prompt(int given) const override
    {
        const QString values = QStringLiteral("距離 %1, %2 mm")
                                   .arg(number(options->chamfer[0]), number(options->chamfer[1]));
        return given == 0 ? QStringLiteral("１本目の線を指示して下さい（%1）").arg(values)
                          : QStringLiteral("２本目の線を指示して下さい（%1）").arg(values);
    }
    ValueTaken Value(int, const double *v, int count, QString &why) override
    {
        const double a = v[0], b = count == 2 ? v[1] : v[0];
        if (!(a >= 0 && b >= 0 && a < 1e6 && b < 1e6)) {
            why = QStringLiteral("距離は０以上の数値で入力して下さい");
            return ValueTaken::Kept;
        }
        options->chamfer[0] = a;
        options->chamfer[1] = b;
        return ValueTaken::Kept;
    }
    Change Make(const double *px, const double *py, double x, double y,
                QString &why) const override
    {
        LineShape a, b, cut;
        const ReshapeFault fault = Geometry::Chamfer(
            std::get<LineShape>(picked[0].record.shape), px[0], py[0],
            std::get<LineShape>(picked[1].record.shape), x, y, options->chamfer[0],
            options->chamfer[1], a, b, cut);
        why = faultText(fault);
        if (!why.isEmpty())
            return {};
        std::vector<Shape> made{a, b};
        if (std::hypot(cut.x2 - cut.x1, cut.y2 - cut.y1) > 1e-9)
            made.push_back(cut);
        return corner(std::move(made));
    }

protected:
    bool takes(const Shape &s) const override { return std::holds_alternative<LineShape>(s); }
    QString refusal() const override { return QStringLiteral("面取りは線にだけ出来ます"); }
};

class FilletFigureCommand : public CornerCommand
{
public:
    using CornerCommand::CornerCommand;
    QString Name() const override { return QStringLiteral("角丸め"); }
    QString Prompt(int given) const override
    {
        const QString r = QStringLiteral("半径 %1 mm").arg(number(options->fillet));
        return given == 0 ? QStringLiteral("１つ目の線か円弧を指示して下さい（%1）").arg(r)
                          : QStringLiteral("２つ目の線か円弧を指示して下さい（%1）").arg(r);
    }
    ValueTaken Value(int, const double *v, int count, QString &why) override
    {
        if (count != 1)
            return ValueTaken::No;
        if (!(v[0] >= 0 && v[0] < 1e6)) {
            why = QStringLiteral("半径は０以上の数値で入力して下さい");
            return ValueTaken::Kept;
        }
        options->fillet = v[0];
        return ValueTaken::Kept;
    }
    Change Make(const double *px, const double *py, double x, double y,
                QString &why) const override
    {
        Shape a, b;
        ArcShape arc;
        const ReshapeFault fault =
            Geometry::Fillet(picked[0].record.shape, px[0], py[0], picked[1].record.shape, x, y,
                             options->fillet, a, b, arc);
        why = faultText(fault);
        if (!why.isEmpty())
            return {};
        std::vector<Shape> made{a, b};
        if (arc.r > 0)
            made.push_back(arc);
        return corner(std::move(made));
    }

protected:
    bool takes(const Shape &s) const override
    {
        return std::holds_alternative<LineShape>(s) || std::holds_alternative<ArcShape>(s);
    }
    QString refusal() const override
    {
        return QStringLiteral("角丸めは線と円弧にだけ出来ます");
    }
};

// 切断: the figure picked at the first point, then the second; the same point twice breaks
// it there, two points take out the part between.
class BreakFigureCommand : public ReshapeCommand
{
public:
    using ReshapeCommand::ReshapeCommand;
    QString Name() const override { return QStringLiteral("切断"); }
    int Points() const override { return 2; }
    QString Prompt(int given) const override
    {
        return given == 0 ? QStringLiteral("切断する図形を指示して下さい")
                          : QStringLiteral("２点目を指示して下さい（同じ点で１点切断）");
    }
    bool Picks(int given) const override { return given == 0; }
    QString Pick(int, const Subject &s) override
    {
        if (!drawable(s.record.shape))
            return QStringLiteral("線、円、円弧を指示して下さい");
        picked[0] = s;
        return QString();
    }
    std::vector<Shape> Figure(const double *px, const double *py, double x, double y) const override
    {
        return {LineShape{px[0], py[0], x, y}};
    }
    Change Make(const double *px, const double *py, double x, double y, QString &why) const override
    {
        std::vector<Shape> pieces;
        const Shape &s = picked[0].record.shape;
        const bool once = std::hypot(x - px[0], y - py[0]) < 1e-9;
        const ReshapeFault fault = once ? Geometry::BreakAt(s, x, y, pieces)
                                        : Geometry::BreakBetween(s, px[0], py[0], x, y, pieces);
        why = fault == ReshapeFault::Unsupported && once
                  ? QStringLiteral("円は１点では切断出来ません（２点を指示して下さい）")
                  : faultText(fault);
        if (!why.isEmpty())
            return {};
        Change change;
        for (Shape &p : pieces)
            change.created.push_back(like(picked[0], std::move(p)));
        change.erased.push_back(picked[0].entity);
        return change;
    }
};

} // namespace

std::unique_ptr<Command> MakeReshapeCommand(int code, ChangeOptions *options)
{
    switch (code) {
    case OffsetCommand:
        return std::make_unique<OffsetFigureCommand>(options);
    case TrimCommand:
        return std::make_unique<TrimFigureCommand>(options);
    case ChamferCommand:
        return std::make_unique<ChamferFigureCommand>(options);
    case FilletCommand:
        return std::make_unique<FilletFigureCommand>(options);
    case BreakCommand:
        return std::make_unique<BreakFigureCommand>(options);
    default:
        return nullptr;
    }
}
