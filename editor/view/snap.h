// The snap a right click means: the characteristic point of the drawing nearest the pointer
// of the kinds switched on, found through the drawing's grid index instead of a pass over
// every entity.
#pragma once

#include <utility>
#include <vector>

class DrawingModel;

// In priority order: a point of an earlier kind wins over a nearer one of a later kind.
enum SnapKind : unsigned {
    SnapEnd = 1,            // a line's or arc's ends, a text's anchor
    SnapIntersection = 2,   // lines, circles and arcs crossing one another
    SnapCentre = 4,         // of a circle or arc
    SnapMiddle = 8,         // of a line or arc
    SnapQuadrant = 16,      // a circle's or arc's points at 0, 90, 180 and 270 degrees
    SnapPerpendicular = 32, // the foot of the perpendicular from the last point
    SnapTangent = 64,       // where a line from the last point touches a circle or arc
    SnapNearest = 128,      // the nearest point on a figure
    SnapGrid = 256,         // the nearest grid point
};
constexpr unsigned SnapAll = 511;
constexpr unsigned SnapDefault = SnapEnd | SnapIntersection | SnapCentre | SnapMiddle
                                 | SnapQuadrant;
constexpr int SnapKindCount = 9;

struct SnapQuery
{
    double x = 0, y = 0;  // the pointer on paper
    double tolerance = 0; // half the side of the pick square
    unsigned kinds = SnapDefault;
    bool hasLast = false; // the command's last point given, for perpendicular and tangent
    double lastX = 0, lastY = 0;
    double grid = 0; // the grid spacing, 0 for none
    // Points besides the drawing's that count as ends: the sheet frame's corners.
    const std::vector<std::pair<double, double>> *corners = nullptr;
};

struct SnapResult
{
    SnapKind kind = SnapEnd;
    double x = 0, y = 0;
};

// The point of the first kind in priority that has one inside the pick square, the
// nearest of its kind; among equally near ones the entity of the lower number. Only live
// entities on shown layers count, and only crossings of entities meeting the square.
// False when nothing lies that near or the query is not finite.
bool FindSnap(const DrawingModel &model, const SnapQuery &query, SnapResult &out);
