#include "editor/commands/drawcommand.h"
#include "editor/commands/dimensioncommands.h"

#include "editor/model/geometry.h"
#include "editor/pen/pen.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr double Zero = 1e-8;
constexpr double FineStep = 0.00001;

double rounded(double value, double step)
{
    double r = RoundToStep(value, step);
    if (!std::isfinite(r) || !std::isfinite(value / step))
        r = RoundToStep(value, FineStep);
    if (!std::isfinite(r))
        r = value;
    return r == 0 ? 0.0 : r; // never -0
}

constexpr double Pi = 3.14159265358979323846;

bool flat(double a, double b)
{
    return std::fabs(a - b) < Zero;
}

double degrees(double dx, double dy)
{
    return Geometry::Normal(std::atan2(dy, dx) * 180 / Pi);
}

// 水平線: a start, a through point whose x ends the line, the line on the start's y.
class HorizontalLineCommand : public Command
{
public:
    QString Name() const override { return QStringLiteral("水平線"); }
    int Points() const override { return 3; }
    QString Prompt(int given) const override
    {
        return given == 0 ? QStringLiteral("通過点を指示して下さい")
                          : given == 1 ? QStringLiteral("開始点を指示して下さい")
                                       : QStringLiteral("終了点を指示して下さい");
    }
    std::vector<Shape> Figure(const double *px, const double *py, double x, double) const override
    {
        return {LineShape{px[1], py[0], x, py[0]}};
    }
    QString Empty(const std::vector<Shape> &f) const override
    {
        const LineShape &l = std::get<LineShape>(f[0]);
        return flat(l.x1, l.x2) ? QStringLiteral("長さが０のため作図しません") : QString();
    }
    int Follows() const override { return 1; }
};

class VerticalLineCommand : public HorizontalLineCommand
{
public:
    QString Name() const override { return QStringLiteral("垂直線"); }
    std::vector<Shape> Figure(const double *px, const double *py, double, double y) const override
    {
        return {LineShape{px[0], py[1], px[0], y}};
    }
    QString Empty(const std::vector<Shape> &f) const override
    {
        const LineShape &l = std::get<LineShape>(f[0]);
        return flat(l.y1, l.y2) ? QStringLiteral("長さが０のため作図しません") : QString();
    }
    int Follows() const override { return 2; }
};

class TwoPointLineCommand : public Command
{
public:
    QString Name() const override { return QStringLiteral("線　分"); }
    int Points() const override { return 2; }
    QString Prompt(int given) const override
    {
        return given == 0 ? QStringLiteral("開始点を指示して下さい")
                          : QStringLiteral("終了点を指示して下さい");
    }
    std::vector<Shape> Figure(const double *px, const double *py, double x, double y) const override
    {
        return {LineShape{px[0], py[0], x, y}};
    }
    QString Empty(const std::vector<Shape> &f) const override
    {
        const LineShape &l = std::get<LineShape>(f[0]);
        return flat(l.x1, l.x2) && flat(l.y1, l.y2) ? QStringLiteral("長さが０のため作図しません")
                                                    : QString();
    }
};

class BoxFigureCommand : public TwoPointLineCommand
{
public:
    QString Name() const override { return QStringLiteral("四　角"); }
    std::vector<Shape> Figure(const double *px, const double *py, double x, double y) const override
    {
        // Bottom, right, top, left.
        return {LineShape{px[0], py[0], x, py[0]}, LineShape{x, py[0], x, y},
                LineShape{x, y, px[0], y}, LineShape{px[0], y, px[0], py[0]}};
    }
    QString Empty(const std::vector<Shape> &f) const override
    {
        const LineShape &bottom = std::get<LineShape>(f[0]), &right = std::get<LineShape>(f[1]);
        return flat(bottom.x1, bottom.x2) || flat(right.y1, right.y2)
                   ? QStringLiteral("幅か高さが０のため作図しません")
                   : QString();
    }
};

// 円: the centre, then a point on the circle.
class CircleFigureCommand : public Command
{
public:
    QString Name() const override { return QStringLiteral("円"); }
    int Points() const override { return 2; }
    QString Prompt(int given) const override
    {
        return given == 0 ? QStringLiteral("中心点を指示して下さい")
                          : QStringLiteral("円周上の点を指示して下さい");
    }
    std::vector<Shape> Figure(const double *px, const double *py, double x, double y) const override
    {
        return {CircleShape{px[0], py[0], std::hypot(x - px[0], y - py[0])}};
    }
    QString Empty(const std::vector<Shape> &f) const override
    {
        const double r = std::get<CircleShape>(f[0]).r;
        return r < Zero || !std::isfinite(r) ? QStringLiteral("半径が０のため作図しません")
                                             : QString();
    }
};

// 円弧: the centre, the start (which gives the radius), the end's direction;
// counter-clockwise.
class ArcFigureCommand : public Command
{
public:
    QString Name() const override { return QStringLiteral("円弧"); }
    int Points() const override { return 3; }
    QString Prompt(int given) const override
    {
        return given == 0 ? QStringLiteral("中心点を指示して下さい")
                          : given == 1 ? QStringLiteral("開始点を指示して下さい")
                                       : QStringLiteral("終了点を指示して下さい");
    }
    std::vector<Shape> Figure(const double *px, const double *py, double x, double y) const override
    {
        const double r = std::hypot(px[1] - px[0], py[1] - py[0]);
        return {ArcShape{px[0], py[0], r, degrees(px[1] - px[0], py[1] - py[0]),
                         degrees(x - px[0], y - py[0])}};
    }
    QString Empty(const std::vector<Shape> &f) const override
    {
        const ArcShape &a = std::get<ArcShape>(f[0]);
        if (a.r < Zero || !std::isfinite(a.r))
            return QStringLiteral("半径が０のため作図しません");
        if (std::fabs(a.sa - a.ea) < 1e-9)
            return QStringLiteral("開始点と終了点の方向が同じため作図しません");
        return QString();
    }
};

// 3点円弧: the start, a point the arc passes, the end.
class ThreePointArcCommand : public Command
{
public:
    QString Name() const override { return QStringLiteral("3点円弧"); }
    int Points() const override { return 3; }
    QString Prompt(int given) const override
    {
        return given == 0 ? QStringLiteral("開始点を指示して下さい")
                          : given == 1 ? QStringLiteral("通過点を指示して下さい")
                                       : QStringLiteral("終了点を指示して下さい");
    }
    std::vector<Shape> Figure(const double *px, const double *py, double x, double y) const override
    {
        ArcShape a;
        if (!Geometry::ArcThroughThree(px[0], py[0], px[1], py[1], x, y, a))
            return {LineShape{px[0], py[0], x, y}};
        return {a};
    }
    QString Empty(const std::vector<Shape> &f) const override
    {
        return std::holds_alternative<ArcShape>(f[0])
                   ? QString()
                   : QStringLiteral("３点が一直線上にあるため作図しません");
    }
};

// 文字: the dialog's text placed at each point given; the band follows before the click.
class TextFigureCommand : public Command
{
public:
    explicit TextFigureCommand(const TextShape *text) : text(text) {}
    QString Name() const override { return QStringLiteral("文字"); }
    int Points() const override { return 1; }
    QString Prompt(int) const override { return QStringLiteral("文字の位置を指示して下さい"); }
    std::vector<Shape> Figure(const double *, const double *, double x, double y) const override
    {
        TextShape t = *text;
        t.px = x;
        t.py = y;
        return {t};
    }
    QString Empty(const std::vector<Shape> &f) const override
    {
        const TextShape &t = std::get<TextShape>(f[0]);
        return t.text.isEmpty() || !(t.height > 0) ? QStringLiteral("文字が無いため作図しません")
                                                   : QString();
    }

private:
    const TextShape *text;
};

// 測定: two points; the line between them is the band and what the window measures.
class MeasureFigureCommand : public TwoPointLineCommand
{
public:
    QString Name() const override { return QStringLiteral("測定"); }
    QString Prompt(int given) const override
    {
        return given == 0 ? QStringLiteral("測定の始点を指示して下さい")
                          : QStringLiteral("測定の終点を指示して下さい");
    }
    QString Empty(const std::vector<Shape> &) const override { return QString(); }
    bool Stores() const override { return false; }
};

} // namespace

std::unique_ptr<Command> DrawCommand::make(int id)
{
    switch (id) {
    case HorizontalLine:
        return std::make_unique<HorizontalLineCommand>();
    case VerticalLine:
        return std::make_unique<VerticalLineCommand>();
    case TwoPointLine:
        return std::make_unique<TwoPointLineCommand>();
    case BoxCommand:
        return std::make_unique<BoxFigureCommand>();
    case CircleCommand:
        return std::make_unique<CircleFigureCommand>();
    case ArcCommand:
        return std::make_unique<ArcFigureCommand>();
    case ThreePointArc:
        return std::make_unique<ThreePointArcCommand>();
    case TextCommand:
        return std::make_unique<TextFigureCommand>(&text);
    case MeasureCommand:
        return std::make_unique<MeasureFigureCommand>();
    default:
        return id >= DimHorizontal ? MakeDimensionCommand(id, &dimensions, &text) : MakeChangeCommand(id, &options);
    }
}

void DrawCommand::Start(int c)
{
    command = make(c);
    code = command ? c : NoCommand;
    given = command ? command->First() : 0;
    finished = false;
    taken = false;
    subjectsSet = false;
    ended = false;
    change = Change();
    note.clear();
}

bool DrawCommand::Selecting() const
{
    return command && command->Selects() && !subjectsSet;
}

void DrawCommand::SetSubjects(std::vector<Subject> subjects)
{
    if (!command)
        return;
    command->SetSubjects(std::move(subjects));
    subjectsSet = true;
    given = command->First();
}

bool DrawCommand::Picks() const
{
    return command && !Selecting() && command->Picks(given);
}

void DrawCommand::GivePick(const Subject &picked, double x, double y)
{
    if (!Picks() || !std::isfinite(x) || !std::isfinite(y))
        return;
    finished = false;
    note = command->Pick(given, picked);
    if (!note.isEmpty())
        return;
    take(x, y);
}

bool DrawCommand::TakesValue() const
{
    return command && !Selecting();
}

bool DrawCommand::GiveValue(const double *values, int count)
{
    if (!TakesValue())
        return false;
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(values[i]))
            return false;
    }
    QString why;
    switch (command->Value(given, values, count, why)) {
    case ValueTaken::No:
        return false;
    case ValueTaken::Kept:
        note = why;
        return true;
    case ValueTaken::Finishes:
        note.clear();
        finished = false;
        finish(given > 0 ? px[given - 1] : 0, given > 0 ? py[given - 1] : 0);
        return true;
    }
    return false;
}

bool DrawCommand::StepBack()
{
    if (!command || Selecting() || given <= command->First())
        return false;
    --given;
    note.clear();
    return true;
}

Change DrawCommand::TakeChange()
{
    return std::exchange(change, Change());
}

std::vector<Shape> DrawCommand::finish(double x, double y)
{
    std::vector<Shape> figure;
    if (command->Changes()) {
        change = command->Make(px, py, x, y, note);
        if (change.Empty() && note.isEmpty())
            note = QStringLiteral("変更する図形がありません");
        if (!note.isEmpty())
            change = Change();
    } else {
        figure = command->Figure(px, py, x, y);
        note = command->Empty(figure);
        if (!note.isEmpty())
            figure.clear();
    }
    finished = note.isEmpty();
    command->Finished();
    given = command->Again();
    ended = finished && command->Ends();
    return figure;
}

std::vector<Shape> DrawCommand::take(double x, double y)
{
    taken = true;
    takenX = x;
    takenY = y;
    if (!AsksLast()) {
        px[given] = x;
        py[given] = y;
        ++given;
        return {};
    }
    return finish(x, y);
}

QString DrawCommand::Name() const
{
    return command ? command->Name() : QString();
}

QString DrawCommand::Prompt() const
{
    if (Selecting())
        return QStringLiteral("対象の図形を選択して Enter を押して下さい");
    return command ? command->Prompt(given) : QString();
}

bool DrawCommand::Taken(double &x, double &y) const
{
    if (!taken)
        return false;
    x = takenX;
    y = takenY;
    return true;
}

bool DrawCommand::Last(double &x, double &y) const
{
    if (!command || given <= 0)
        return false;
    x = px[given - 1];
    y = py[given - 1];
    return true;
}

bool DrawCommand::Stores() const
{
    return !command || command->Stores();
}

bool DrawCommand::AsksLast() const
{
    return command && !Selecting() && given == command->Points() - 1;
}

std::vector<Shape> DrawCommand::Rubber(double x, double y) const
{
    if (!AsksLast())
        return {};
    return command->Figure(px, py, x, y);
}

bool DrawCommand::RubberMoved(double fromX, double fromY, double x, double y) const
{
    const int follows = command ? command->Follows() : 3;
    return ((follows & 1) && std::fabs(x - fromX) > Zero)
           || ((follows & 2) && std::fabs(y - fromY) > Zero);
}

std::vector<Shape> DrawCommand::Give(double x, double y)
{
    if (!Waiting() || Selecting() || Picks() || !std::isfinite(x) || !std::isfinite(y))
        return {};
    note.clear();
    finished = false;
    return take(x, y);
}

void DrawCommand::TakeBack()
{
    if (!finished || !command)
        return;
    finished = false;
    ended = false;
    given = command->Points() - 1;
}

bool GridPoint(double x, double y, double grid, double &gx, double &gy)
{
    if (!std::isfinite(x) || !std::isfinite(y))
        return false;
    const double step = grid > 0 && std::isfinite(grid) ? grid : FineStep;
    gx = rounded(x, step);
    gy = rounded(y, step);
    return true;
}
