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
    MeasureCommand = 90,
    // The commands that change what is drawn.
    MoveCommand = 110,
    CopyCommand = 120,
    RotateCommand = 130,
    MirrorCommand = 140,
    ScaleCommand = 150,
    OffsetCommand = 160,
    TrimCommand = 170,
    ChamferCommand = 180,
    FilletCommand = 190,
    BreakCommand = 200,
    // The dimensions, stored as plain lines, arcs and texts.
    DimHorizontal = 210,
    DimVertical = 220,
    DimAligned = 230,
    DimRadius = 240,
    DimDiameter = 250,
    DimAngle = 260,
    DimLeader = 270
};

// A figure a command changes: its entity and its record, the shape in paper millimetres.
struct Subject
{
    int32_t entity = 0;
    EntityRecord record;
};

// What a finished change does: new records (paper millimetres, each with its look) and the
// entities they take the place of.
struct Change
{
    std::vector<EntityRecord> created;
    std::vector<int32_t> erased;
    bool Empty() const { return created.empty() && erased.empty(); }
};

// What the commands that change figures remember between their runs in one window.
struct ChangeOptions
{
    bool mirrorKeeps = true; // 反転 leaves the originals
    double offset = 0; // 0: the pointer shows the distance
    double chamfer[2] = {5, 5};
    double fillet = 5;
};

// How dimensions look, in paper millimetres.
struct DimensionOptions
{
    double textHeight = 3.5;
    int arrow = 0; // 0 arrow, 1 oblique tick, 2 dot
    double arrowSize = 3;
    double overshoot = 2; // of the extension lines past the dimension line
    double gap = 1; // between the figure and its extension lines
    int decimals = 2; // trailing zeros dropped
};

// What a typed number does to a command's step.
enum class ValueTaken { No, Kept, Finishes };

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

    // The commands that change figures. Whether it works on the selected figures, which are
    // asked for first when none are.
    virtual bool Selects() const { return false; }
    virtual void SetSubjects(std::vector<Subject> s) { subjects = std::move(s); }
    // The step a figure starts from, and where it starts again after one is finished (a copy
    // keeps its base point, a trim its boundaries).
    virtual int First() const { return 0; }
    virtual int Again() const { return First(); }
    // Whether the command ends once a change is made.
    virtual bool Ends() const { return false; }
    // Whether the point after given ones picks a figure there rather than a place, and
    // the figure picked: empty when taken, else why not.
    virtual bool Picks(int) const { return false; }
    virtual QString Pick(int, const Subject &) { return QString(); }
    // A typed number (a distance, angle or factor; two for a pair) at this step.
    virtual ValueTaken Value(int, const double *, int, QString &) { return ValueTaken::No; }
    // Whether it changes figures rather than drawing new ones, and the change a finished
    // figure makes; empty with why when it makes none.
    virtual bool Changes() const { return false; }
    virtual Change Make(const double *, const double *, double, double, QString &) const
    {
        return {};
    }
    // After each finished figure, stored or not.
    virtual void Finished() {}

protected:
    std::vector<Subject> subjects;
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
    // Of a command that changes figures: whether it waits for them to be selected, and the
    // selected ones handed over, which ends that wait.
    bool Selecting() const;
    void SetSubjects(std::vector<Subject> subjects);
    bool Changes() const { return command && command->Changes(); }
    bool Selects() const { return command && command->Selects(); }
    // Whether the point asked for picks a figure; the pick at (x, y), which counts as the
    // point when the command takes it (else Note says why).
    bool Picks() const;
    void GivePick(const Subject &picked, double x, double y);
    // A typed number or pair; false when the step takes none (the entry is then a point).
    bool TakesValue() const;
    bool GiveValue(const double *values, int count);
    // The change the last finished figure made, handed over once.
    Change TakeChange();
    // Escape on a command that changes figures: the step before asked again; false at its
    // first step.
    bool StepBack();
    // Whether the command has ended on its own, after a change.
    bool Ended() const { return ended; }
    ChangeOptions &Options() { return options; }
    // The text the text command places, with its sizes; its place comes from the point.
    void SetText(const TextShape &t) { text = t; }
    const TextShape &Text() const { return text; }
    DimensionOptions &Dimensions() { return dimensions; }

private:
    std::unique_ptr<Command> make(int id);
    // The figure finished at (x, y): its shapes, or its change kept for TakeChange.
    std::vector<Shape> finish(double x, double y);
    // A point taken: the next step, or the figure finished.
    std::vector<Shape> take(double x, double y);

    int code = NoCommand;
    int given = 0;
    bool finished = false;
    std::unique_ptr<Command> command;
    double px[3] = {}, py[3] = {}; // the points given before the last
    ChangeOptions options;
    bool subjectsSet = false;
    bool ended = false;
    Change change;
    bool taken = false;
    double takenX = 0, takenY = 0;
    QString note;
    TextShape text;
    DimensionOptions dimensions;
};

// The commands that change figures, by code, with the options they read and keep;
// nullptr for another code.
std::unique_ptr<Command> MakeChangeCommand(int code, ChangeOptions *options);

// A pointer position on the grid of the given spacing, or to 0.00001 mm without a grid or
// where the grid cannot round it; false for a position that is not finite.
bool GridPoint(double x, double y, double grid, double &gx, double &gy);
