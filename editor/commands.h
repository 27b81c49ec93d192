// The drawing commands as a state machine driven by the points the window hands in: the
// name and prompt each shows, the rubber band while its last point is chosen, when a figure
// gives no line, and the lines a finished figure stores. Paper millimetres throughout; no
// window and no database.
#pragma once

#include "db/linestore.h"

#include <QString>

#include <vector>

enum CommandCode {
    NoCommand = 0,
    HorizontalLine = 10,
    VerticalLine = 20,
    TwoPointLine = 30,
    BoxCommand = 40
};

class DrawCommand
{
public:
    // Starts the command from its first prompt; one running before ends first and its
    // half-given figure is dropped. Any other code only ends the running command.
    void Start(int code);
    void Cancel() { Start(NoCommand); }

    int Code() const { return code; }
    bool Waiting() const { return code != NoCommand; }
    // How many points of the figure are given (0 after a start or a finished figure).
    int Given() const { return given; }
    QString Name() const;
    QString Prompt() const;
    // Whether the point asked for is the figure's last, which the rubber band follows.
    bool AsksLast() const;
    // The rubber band to the tracked point: a line or a box's four edges; none unless the
    // last point is asked for.
    std::vector<PaperLine> Rubber(double x, double y) const;
    // Whether the band drawn to (fromX, fromY) must be drawn again for (x, y): a coordinate
    // it follows moved by more than 1e-8 mm.
    bool RubberMoved(double fromX, double fromY, double x, double y) const;
    // Takes a point. When it finishes a figure, gives the lines to store (none for a line of
    // no length or a box without width or height) and asks for the first point again. A
    // point while no command waits, or one that is not finite, is ignored.
    std::vector<PaperLine> Give(double x, double y);

private:
    int code = NoCommand;
    int given = 0;
    double px[2] = {}, py[2] = {}; // the points given before the last

};

// A pointer position on the grid of the given spacing, or to 0.00001 mm without a grid or
// where the grid cannot round it; false for a position that is not finite.
bool GridPoint(double x, double y, double grid, double &gx, double &gy);
