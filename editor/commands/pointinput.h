// Points typed in the status bar, the ortho hold and the measured values shown: plain
// arithmetic on paper millimetres (y up, angles in degrees counter-clockwise from +x), no
// window.
#pragma once

#include "db/entityrows.h"

#include <QString>

// What a typed entry gives: a point, a length along the band's direction, or why neither.
struct PointEntry
{
    enum Kind { Nothing, Point, Length, Bad };
    Kind kind = Nothing;
    double x = 0, y = 0; // a point
    double length = 0;
    QString error;
};

// Reads "x,y", "@dx,dy" (from the last point), "@d<a" (polar from the last point), "d<a"
// (polar from the origin) or a bare length "d". Full-width digits and signs, the Japanese
// comma and full stop, and spaces are taken. hasLast tells whether (lastX, lastY) is a point
// given before; without one the relative forms and a length are refused. Blank gives
// Nothing.
PointEntry ReadPointEntry(const QString &text, bool hasLast, double lastX, double lastY);

// The point length away from (fromX, fromY) toward (towardX, towardY); false when the two
// coincide, so that there is no direction.
bool PointToward(double fromX, double fromY, double towardX, double towardY, double length,
                 double &x, double &y);

// (x, y) held on the horizontal or the vertical through (fromX, fromY), whichever it lies
// nearer; a tie holds it horizontal.
void HoldOrtho(double fromX, double fromY, double &x, double &y);

// Degrees in [0, 360) of the direction from (x1, y1) to (x2, y2); 0 when they coincide.
double DirectionOf(double x1, double y1, double x2, double y2);

// The texts shown for a measure.
QString MeasureText(double x1, double y1, double x2, double y2);
QString MeasureText(const LineShape &l);
QString MeasureText(const CircleShape &c);
QString MeasureText(const ArcShape &a);
// Distance and angle from the last point, for the status bar while a point is asked for.
QString RelativeText(double fromX, double fromY, double x, double y);
