#include "editor/commands.h"

#include "editor/pen/pen.h"

#include <cmath>

namespace {

constexpr double Zero = 1e-8;
constexpr double FineStep = 0.00001;

int pointsOf(int code)
{
    return code == HorizontalLine || code == VerticalLine ? 3 : 2;
}

double rounded(double value, double step)
{
    double r = RoundToStep(value, step);
    if (!std::isfinite(r) || !std::isfinite(value / step))
        r = RoundToStep(value, FineStep);
    if (!std::isfinite(r))
        r = value;
    return r == 0 ? 0.0 : r; // never -0
}

} // namespace

void DrawCommand::Start(int c)
{
    const bool known = c == HorizontalLine || c == VerticalLine || c == TwoPointLine
                       || c == BoxCommand;
    code = known ? c : NoCommand;
    given = 0;
}

QString DrawCommand::Name() const
{
    switch (code) {
    case HorizontalLine:
        return QStringLiteral("水平線");
    case VerticalLine:
        return QStringLiteral("垂直線");
    case TwoPointLine:
        return QStringLiteral("線　分");
    case BoxCommand:
        return QStringLiteral("四　角");
    default:
        return QString();
    }
}

QString DrawCommand::Prompt() const
{
    if (!Waiting())
        return QString();
    if (AsksLast())
        return QStringLiteral("終了点を指示して下さい");
    if (given == 0 && pointsOf(code) == 3)
        return QStringLiteral("通過点を指示して下さい");
    return QStringLiteral("開始点を指示して下さい");
}

bool DrawCommand::AsksLast() const
{
    return Waiting() && given == pointsOf(code) - 1;
}

std::vector<PaperLine> DrawCommand::Rubber(double x, double y) const
{
    if (!AsksLast())
        return {};
    // The horizontal line takes only the through point's y and the start's x, the vertical
    // line the opposite.
    switch (code) {
    case HorizontalLine:
        return {{px[1], py[0], x, py[0]}};
    case VerticalLine:
        return {{px[0], py[1], px[0], y}};
    case TwoPointLine:
        return {{px[0], py[0], x, y}};
    default:
        return {{px[0], py[0], x, py[0]}, {x, py[0], x, y}, {x, y, px[0], y},
                {px[0], y, px[0], py[0]}};
    }
}

bool DrawCommand::RubberMoved(double fromX, double fromY, double x, double y) const
{
    const bool movedX = std::fabs(x - fromX) > Zero, movedY = std::fabs(y - fromY) > Zero;
    switch (code) {
    case HorizontalLine:
        return movedX;
    case VerticalLine:
        return movedY;
    default:
        return movedX || movedY;
    }
}

std::vector<PaperLine> DrawCommand::Give(double x, double y)
{
    if (!Waiting() || !std::isfinite(x) || !std::isfinite(y))
        return {};
    if (!AsksLast()) {
        px[given] = x;
        py[given] = y;
        ++given;
        return {};
    }
    std::vector<PaperLine> lines = Rubber(x, y);
    given = 0;
    const PaperLine &l = lines.front();
    const bool flatX = std::fabs(l.x1 - l.x2) < Zero, flatY = std::fabs(l.y1 - l.y2) < Zero;
    bool empty;
    switch (code) {
    case HorizontalLine:
        empty = flatX;
        break;
    case VerticalLine:
        empty = flatY;
        break;
    case TwoPointLine:
        empty = flatX && flatY;
        break;
    default:
        // The bottom edge has the width, the right edge the height.
        empty = flatX || std::fabs(lines[1].y1 - lines[1].y2) < Zero;
        break;
    }
    if (empty)
        lines.clear();
    return lines;
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
