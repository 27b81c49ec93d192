// The snap a right click means: the nearest characteristic point of the drawing, found
// through the drawing's grid index instead of a pass over every entity.
#pragma once

class DrawingModel;

// The first point within tolerance of (x, y) along both axes (a square) of the live entity
// with the lowest number on a shown layer: a line's start, then its end; an arc's start,
// end and centre; a circle's centre and its four quadrant points; a text's anchor. False
// when no such point lies that near.
bool SnapPoint(const DrawingModel &model, double x, double y, double tolerance, double &sx,
               double &sy);
