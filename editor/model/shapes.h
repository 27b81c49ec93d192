// The paper extents of the entities' shapes, whatever their kind.
#pragma once

#include "editor/model/entity.h"

PaperBox LineBox(const LineShape &l);
PaperBox CircleBox(const CircleShape &c);
// The ends and every axis crossing inside the arc's span.
PaperBox ArcBox(const ArcShape &a);
// The box around a text's four corners.
PaperBox TextBox(const TextRef &t, const QString &text);
// A text's corners on paper, lower left first, counter-clockwise.
void TextCorners(const TextRef &t, const QString &text, double xs[4], double ys[4]);

double DistanceToSegment(double x, double y, const LineShape &l);
double DistanceToCircle(double x, double y, const CircleShape &c);
// To the nearest point of the arc: its circumference within the span, else the nearer end.
double DistanceToArc(double x, double y, const ArcShape &a);
void ArcEnds(const ArcShape &a, double &sx, double &sy, double &ex, double &ey);
bool OnArc(double degrees, double sa, double ea);
// Whether a convex quadrilateral (corners in order) holds the point.
bool QuadHolds(const double xs[4], const double ys[4], double x, double y);
// Whether the segment meets the closed box.
bool SegmentMeetsBox(const PaperBox &b, const LineShape &l);
