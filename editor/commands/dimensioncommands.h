// The dimension commands and the pieces they are drawn from: a dimension is plain lines,
// arcs and texts, known as one only while its command runs.
#pragma once

#include "editor/commands/drawcommand.h"

#include <memory>

// nullptr for another code.
std::unique_ptr<Command> MakeDimensionCommand(int code, const DimensionOptions *options,
                                              const TextShape *text);

namespace Dimension {

// The value to the given decimals, trailing zeros dropped, never "-0".
QString ValueText(double value, int decimals);
// A text along this direction reads from below or from the right: one pointing left of
// straight up (past 90 to 270 degrees) is turned round.
double ReadingAngle(double degrees);
// The arrow, tick or dot whose tip is at (x, y), the dimension line leaving it at back
// degrees.
std::vector<Shape> Arrow(const DimensionOptions &o, double x, double y, double back);
// A linear dimension between two points, its line through (px, py): along x (kind 0),
// along y (1) or along the points (2). Extension lines first, then the dimension line,
// the arrows and the value last.
std::vector<Shape> Linear(const DimensionOptions &o, int kind, double x1, double y1,
                          double x2, double y2, double px, double py);

} // namespace Dimension
