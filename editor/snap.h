// The end-point snap: the line end a right click means, found through the drawing's grid
// index instead of a pass over every line.
#pragma once

class DrawingModel;

// The first end within tolerance of (x, y) along both axes (a square): of the live line
// with the lowest line number, its start before its end, on a shown layer of a usable scale
// numbered 0-255. False when no end lies that near.
bool SnapToLineEnd(const DrawingModel &model, double x, double y, double tolerance, double &sx,
                   double &sy);
