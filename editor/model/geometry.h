// The entities' geometry on paper, free of fonts, windows and the database: extents,
// distances, arcs through points, dashes walked along curves and the cells of a text.
#pragma once

#include "editor/model/entity.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace Geometry {

constexpr double Pi = 3.14159265358979323846;

// Degrees in [0, 360).
double Normal(double degrees);
// Counter-clockwise from sa to ea in degrees, in (0, 360]; equal ends make a full circle.
double Sweep(double sa, double ea);
// Whether the direction lies on the arc from sa counter-clockwise to ea (ends included).
bool OnArc(double degrees, double sa, double ea);
void ArcEnds(const ArcShape &a, double &sx, double &sy, double &ex, double &ey);
// The arc from the first point to the third through the second, in whichever turn the
// three are given; false for points on one line or coinciding.
bool ArcThroughThree(double x1, double y1, double x2, double y2, double x3, double y3,
                     ArcShape &out);

PaperBox LineBox(const LineShape &l);
PaperBox CircleBox(const CircleShape &c);
// The ends and every axis crossing inside the arc's span.
PaperBox ArcBox(const ArcShape &a);

double DistanceToSegment(double x, double y, const LineShape &l);
double DistanceToCircle(double x, double y, const CircleShape &c);
// To the nearest point of the arc: its circumference within the span, else the nearer end.
double DistanceToArc(double x, double y, const ArcShape &a);

// Whether a convex quadrilateral (corners in order) holds the point.
bool QuadHolds(const double xs[4], const double ys[4], double x, double y);
// Whether the segment meets the closed box.
bool SegmentMeetsBox(const PaperBox &b, const LineShape &l);
// Whether the circumference meets the closed box (not its inside).
bool CircleMeetsBox(const PaperBox &b, const CircleShape &c);
bool ArcMeetsBox(const PaperBox &b, const ArcShape &a);

// The parts of the arc inside the box, as arc lengths from its start, in order.
std::vector<std::pair<double, double>> ArcSpansIn(const ArcShape &a, const PaperBox &b);

// A dash pattern: pitches in mm, dash first; a dash shorter than 1e-8 is a dot.
struct DashPattern
{
    int count = 0; // 0: continuous
    double pitches[10] = {};
};

// The pattern's dashes between arc lengths from and to along a curve of the given length,
// the pattern begun at length 0: each dash as its ends, each dot at its place (from ==
// to). A curve no longer than one period, a continuous pattern or one that cannot advance
// gives the whole stretch as one dash.
void WalkDashes(const DashPattern &pattern, double length, double from, double to,
                const std::function<void(bool dot, double from, double to)> &each);
// The arc stroked with the pattern as chords that part from it by at most tolerance,
// only within clip when given; dots come as zero-length chords.
void WalkArc(const ArcShape &a, const DashPattern &pattern, double tolerance,
             const PaperBox *clip,
             const std::function<void(bool dot, double, double, double, double)> &each);

// Most chords of one stretch of an arc.
constexpr int MostChords = 65536;
// The angle in radians each chord of an arc of radius r sweeping sweep radians turns by at
// most, so that it parts from the arc by at most tolerance.
double ChordStep(double r, double sweep, double tolerance);
// The chords of a stretch turning by angle radians, each by at most step.
inline int ChordCount(double angle, double step)
{
    return std::clamp(int(std::ceil(angle / step)), 1, MostChords);
}

// The ends of the chords of the stretch from … to (arc lengths from the arc's start, at a0
// radians): its start, then each chord's end in turn.
template<typename F>
void ChordEnds(const ArcShape &a, double a0, double step, double from, double to, const F &point)
{
    const double t = a0 + from / a.r;
    double c = std::cos(t), s = std::sin(t);
    point(a.cx + a.r * c, a.cy + a.r * s);
    const int count = ChordCount((to - from) / a.r, step);
    // The chords' ends turned one from the next rather than each from its own sine and
    // cosine; the stretch's end exactly, so that dashes and arcs meet where they should.
    // One chord, as most dashes are seen whole, needs no turn.
    const double turn = count > 1 ? (to - from) / a.r / count : 0;
    const double ct = count > 1 ? std::cos(turn) : 1, st = count > 1 ? std::sin(turn) : 0;
    for (int i = 1; i <= count; ++i) {
        if (i == count) {
            const double end = a0 + to / a.r;
            point(a.cx + a.r * std::cos(end), a.cy + a.r * std::sin(end));
        } else {
            const double next = c * ct - s * st;
            s = s * ct + c * st;
            c = next;
            point(a.cx + a.r * c, a.cy + a.r * s);
        }
    }
}

// The whole arc's chord ends as WalkArc gives them for a continuous pattern and no clip
// (its last end turned there from the first, here worked out on its own, alike but for the
// last bits); nothing for an arc that cannot be drawn.
template<typename F>
void WholeArcChordEnds(const ArcShape &a, double tolerance, const F &point)
{
    if (!(a.r > 0) || !std::isfinite(a.r) || !std::isfinite(a.cx) || !std::isfinite(a.cy)
        || !std::isfinite(a.sa) || !std::isfinite(a.ea))
        return;
    const double sweep = Sweep(a.sa, a.ea) * Pi / 180;
    ChordEnds(a, a.sa * Pi / 180, ChordStep(a.r, sweep, tolerance), 0, a.r * sweep, point);
}

// One character of a laid-out text: its cell in the text's own axes (mm, y up, origin at
// the anchor point, before the text's angle), and the character drawn in it.
struct Glyph
{
    char32_t code = 0;
    // In vertical writing: the character's vertical presentation form, 0 for none, and how
    // to draw the character itself with a font that lacks the form: turned a quarter
    // clockwise about the cell's centre, or moved by shift times the cell.
    char32_t form = 0;
    bool turned = false;
    double shiftX = 0, shiftY = 0;
    bool wide = false; // a full-width character
    double x = 0, y = 0, width = 0, height = 0;
};

struct TextLayout
{
    std::vector<Glyph> glyphs;
    double x = 0, y = 0, width = 0, height = 0; // the box in the text's own axes
    double px = 0, py = 0, angle = 0; // where the own axes sit on paper
    bool vertical = false;
    void ToPaper(double x, double y, double &paperX, double &paperY) const;
};

// Half-width characters take half a cell of a text written across.
bool WideCharacter(char32_t c);
// How a character stands in vertical writing (code, form, turned and shift of a glyph).
Glyph VerticalForm(char32_t c);
// Cells of MW wide (0: a full-width character as wide as it is high, a half-width one
// half that) and MH high, MD apart; across (DIR 0) or top to bottom (DIR 1); the box
// placed by BAS (1-9 as on a numeric keypad, anything else as 1). No glyphs for an empty
// text or a height that is not positive and finite.
TextLayout LayOutText(const TextRef &t, const QString &text);
// A text's characters, a surrogate pair as one, and the full-width ones among them.
struct TextCount
{
    int characters = 0, wide = 0;
};
TextCount CountText(const QString &text);
// The box alone, without the glyphs; by the reference's count where it has one.
TextLayout TextFrame(const TextRef &t, const QString &text);
// A text's corners on paper, lower left first, counter-clockwise.
void TextCorners(const TextRef &t, const QString &text, double xs[4], double ys[4]);
PaperBox TextBox(const TextRef &t, const QString &text);
TextRef RefOf(const TextShape &t);

} // namespace Geometry
