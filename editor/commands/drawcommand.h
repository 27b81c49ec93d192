// The drawing commands, one small class each behind one interface, driven by the points the
// window hands in: the name and prompt each shows, the band while its last point is chosen,
// when a figure gives nothing, and the shapes a finished figure stores. Paper millimetres
// throughout; no window and no database.
#pragma once

#include "db/entityrows.h"

#include <QString>

#include <memory>
#include <vector>

enum CommandId {
    NoCommand = 0,
    HorizontalLine = 10,
    VerticalLine = 20,
    TwoPointLine = 30,
    BoxCommand = 40,
    CircleCommand = 50,
    ArcCommand = 60,
    ThreePointArc = 70,
    TextCommand = 80,
    // Two points measured, nothing stored.
    MeasureCommand = 90
};

class Command
{
public:
    virtual ~Command() = default;
    virtual QString Name() const = 0;
    // How many points a figure takes.
    virtual int Points() const = 0;
    // The prompt for the point after given ones.
    virtual QString Prompt(int given) const = 0;
    // The figure with the last point at (x, y), from the points given before it.
    virtual std::vector<Shape> Figure(const double *px, const double *py, double x,
                                      double y) const = 0;
    // Why a finished figure gives nothing to store, or empty when it does.
    virtual QString Empty(const std::vector<Shape> &figure) const = 0;
    // Which coordinates of the tracked point the band follows (1 x, 2 y).
    virtual int Follows() const { return 3; }
    // Whether a finished figure is stored.
    virtual bool Stores() const { return true; }
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
    // The point given just before the one asked for; false for a figure's first point.
    bool Last(double &x, double &y) const;
    // The point taken last since the command started, also from a figure finished before.
    bool Taken(double &x, double &y) const;
    // Whether the figures it finishes are stored; the measure's are only shown.
    bool Stores() const;
    // Whether the point asked for is the figure's last, which the band follows.
    bool AsksLast() const;
    // The band to the tracked point; none unless the last point is asked for.
    std::vector<Shape> Rubber(double x, double y) const;
    // Whether the band drawn to (fromX, fromY) must be drawn again for (x, y): a coordinate
    // it follows moved by more than 1e-8 mm.
    bool RubberMoved(double fromX, double fromY, double x, double y) const;
    // Takes a point. When it finishes a figure, gives the shapes to store (none for a
    // figure of no size, with the reason in Note) and asks for the first point again. A
    // point while no command waits, or one that is not finite, is ignored.
    std::vector<Shape> Give(double x, double y);
    QString Note() const { return note; }
    // The figure just finished was not stored: asks for its last point again, the points
    // before it kept, so that one more click stores it. Nothing once another point came.
    void TakeBack();
    // The text the text command places, with its sizes; its place comes from the point.
    void SetText(const TextShape &t) { text = t; }
    const TextShape &Text() const { return text; }

private:
    std::unique_ptr<Command> make(int id) const;

    int code = NoCommand;
    int given = 0;
    bool finished = false;
    std::unique_ptr<Command> command;
    double px[2] = {}, py[2] = {}; // the points given before the last
    bool taken = false;
    double takenX = 0, takenY = 0;
    QString note;
    TextShape text;
};

// A pointer position on the grid of the given spacing, or to 0.00001 mm without a grid or
// where the grid cannot round it; false for a position that is not finite.
bool GridPoint(double x, double y, double grid, double &gx, double &gy);
