#include "editor/model/sheetframe.h"

#include "editor/model/geometry.h"

#include <QList>

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t ThickWidth = 50; // the frame, the block's outline and the centre marks
constexpr int32_t ThinWidth = 25; // the block's cells
// How far the centre marks reach into the frame.
constexpr double MarkInside = 5;
// A block shrunk further than this is not readable; the frame goes without it.
constexpr double LeastBlockScale = 0.25;

// The block's cells in its own millimetres, x from its left, y down from its top edge.
struct Cell
{
    double x1, x2, y1, y2;
};

// Rows from the top: the revision, the members' labels, names and dates, the title, the
// subtitle, the drawing's code with the scale and the team.
constexpr double RowRevision = 7, RowLabels = 5, RowNames = 7, RowDates = 5, RowTitle = 10,
                 RowSubtitle = 7, RowCode = 8;
constexpr double LabelWidth = 20;

class Builder
{
public:
    Builder(SheetFrame &frame, double x1, double y2, double k) : f(frame), x1(x1), y2(y2), k(k)
    {}

    void Line(double ax, double ay, double bx, double by, int32_t width)
    {
        f.lines.push_back({{x1 + ax * k, y2 - ay * k, x1 + bx * k, y2 - by * k}, width});
    }
    void Across(double y, double from, double to) { Line(from, y, to, y, ThinWidth); }
    void Down(double x, double from, double to) { Line(x, from, x, to, ThinWidth); }

    // The text in the cell, centred or from its left, at a JIS character height, narrowed
    // until it fits between the cell's paddings.
    void Text(const Cell &c, const QString &text, double height, bool centred)
    {
        const QString s = text.simplified();
        if (s.isEmpty())
            return;
        constexpr double pad = 1;
        const double room = (c.x2 - c.x1 - 2 * pad) * k;
        if (!(room > 0))
            return;
        TextShape t;
        t.height = std::min(height, (c.y2 - c.y1) - pad) * k;
        t.anchor = centred ? 5 : 4;
        t.px = x1 + (centred ? (c.x1 + c.x2) / 2 : c.x1 + pad) * k;
        t.py = y2 - (c.y1 + c.y2) / 2 * k;
        t.text = s;
        const double natural = Geometry::TextFrame(Geometry::RefOf(t), s).width;
        if (natural > room)
            t.width = room / double(s.toUcs4().size());
        f.texts.push_back(std::move(t));
    }

private:
    SheetFrame &f;
    double x1, y2, k;
};

void layOutBlock(SheetFrame &f, const TitleFields &v, double k)
{
    const double w = SheetFrames::BlockWidth, h = SheetFrames::BlockHeight;
    f.block = {f.border.x2 - w * k, f.border.y1, f.border.x2, f.border.y1 + h * k};
    Builder b(f, f.block.x1, f.block.y2, k);
    b.Line(0, 0, w, 0, ThickWidth);
    b.Line(0, 0, 0, h, ThickWidth);

    double y = 0;
    // The latest revision.
    const double revisionCuts[] = {0, LabelWidth, 35, 62, w};
    for (int i = 1; i < 4; ++i)
        b.Down(revisionCuts[i], y, y + RowRevision);
    const QString revision[] = {QStringLiteral("改訂"), v.revision, v.revisionOn,
                                v.revisionText};
    for (int i = 0; i < 4; ++i)
        b.Text({revisionCuts[i], revisionCuts[i + 1], y, y + RowRevision}, revision[i], 2.5,
               i < 3);
    y += RowRevision;
    b.Across(y, 0, w);

    // Who drafted, checked, approved and issued it, and when.
    const double members = RowLabels + RowNames + RowDates;
    const QString labels[] = {QStringLiteral("製図"), QStringLiteral("検図"),
                              QStringLiteral("承認"), QStringLiteral("出図")};
    const QString names[] = {v.drawnBy, v.checkedBy, v.approvedBy, v.issuedBy};
    const QString dates[] = {v.drawnOn, v.checkedOn, v.approvedOn, v.issuedOn};
    const double mw = w / 4;
    for (int i = 0; i < 4; ++i) {
        const double cx1 = mw * i, cx2 = mw * (i + 1);
        if (i > 0)
            b.Down(cx1, y, y + members);
        b.Text({cx1, cx2, y, y + RowLabels}, labels[i], 2.5, true);
        b.Text({cx1, cx2, y + RowLabels, y + RowLabels + RowNames}, names[i], 3.5, true);
        b.Text({cx1, cx2, y + RowLabels + RowNames, y + members}, dates[i], 2.5, true);
    }
    b.Across(y + RowLabels, 0, w);
    y += members;
    b.Across(y, 0, w);

    b.Down(LabelWidth, y, y + RowTitle + RowSubtitle + RowCode);
    b.Text({0, LabelWidth, y, y + RowTitle}, QStringLiteral("表題"), 2.5, true);
    b.Text({LabelWidth, w, y, y + RowTitle}, v.title, 5, false);
    y += RowTitle;
    b.Across(y, 0, w);
    b.Text({0, LabelWidth, y, y + RowSubtitle}, QStringLiteral("副題"), 2.5, true);
    b.Text({LabelWidth, w, y, y + RowSubtitle}, v.subtitle, 3.5, false);
    y += RowSubtitle;
    b.Across(y, 0, w);

    const double codeCuts[] = {0, LabelWidth, 95, 110, 135, w};
    for (int i = 2; i < 5; ++i)
        b.Down(codeCuts[i], y, y + RowCode);
    const QString code[] = {QStringLiteral("図番"), v.code, QStringLiteral("尺度"), v.scale,
                            v.team};
    const double heights[] = {2.5, 5, 2.5, 3.5, 3.5};
    for (int i = 0; i < 5; ++i)
        b.Text({codeCuts[i], codeCuts[i + 1], y, y + RowCode}, code[i], heights[i],
               i != 1);
}

} // namespace

std::vector<std::pair<double, double>> SheetFrame::Corners() const
{
    std::vector<std::pair<double, double>> out;
    if (!shown)
        return out;
    for (const PaperBox &b : {border, block}) {
        if (!(b.x2 > b.x1))
            continue;
        out.insert(out.end(), {{b.x1, b.y1}, {b.x2, b.y1}, {b.x2, b.y2}, {b.x1, b.y2}});
    }
    return out;
}

namespace SheetFrames {

double Margin(double width, double height)
{
    // Half a millimetre of slack for sizes typed with a fraction.
    return std::min(width, height) >= 593.5 ? 20 : 10;
}

QString DateText(const QString &stored)
{
    const QString s = stored.trimmed();
    if (s.size() != 8 || !std::all_of(s.begin(), s.end(), [](QChar c) { return c.isDigit(); }))
        return s;
    return s.left(4) + u'/' + s.mid(4, 2) + u'/' + s.right(2);
}

QString ScaleText(double scale)
{
    if (!(scale > 0) || !std::isfinite(scale))
        return QString();
    const auto number = [](double v) { return QString::number(v, 'g', 6); };
    if (scale <= 1)
        return QStringLiteral("1:") + number(1 / scale);
    return number(scale) + QStringLiteral(":1");
}

} // namespace SheetFrames

SheetFrame LayOutSheetFrame(double width, double height, const FrameOptions &options,
                            const TitleFields &fields)
{
    SheetFrame f;
    if (!std::isfinite(width) || !std::isfinite(height) || width > 1e6 || height > 1e6)
        return f;
    const double m = SheetFrames::Margin(width, height);
    const double left = options.filingMargin ? std::max(m, 20.0) : m;
    const double hw = width / 2, hh = height / 2;
    f.border = {-hw + left, -hh + m, hw - m, hh - m};
    const double fw = f.border.x2 - f.border.x1, fh = f.border.y2 - f.border.y1;
    if (!(fw > 2 * MarkInside) || !(fh > 2 * MarkInside))
        return SheetFrame();
    f.shown = true;
    const PaperBox &r = f.border;
    f.lines.push_back({{r.x1, r.y1, r.x2, r.y1}, ThickWidth});
    f.lines.push_back({{r.x2, r.y1, r.x2, r.y2}, ThickWidth});
    f.lines.push_back({{r.x2, r.y2, r.x1, r.y2}, ThickWidth});
    f.lines.push_back({{r.x1, r.y2, r.x1, r.y1}, ThickWidth});

    const double k = std::min({1.0, fw / SheetFrames::BlockWidth, fh / SheetFrames::BlockHeight});
    if (k >= LeastBlockScale)
        layOutBlock(f, fields, k);
    // The centre marks from the paper's edges into the frame, stopping at the block.
    const bool blockBelowCentre = f.block.x2 > f.block.x1 && f.block.x1 < 0;
    f.lines.push_back({{-hw, 0, r.x1 + MarkInside, 0}, ThickWidth});
    const bool blockAtCentre = f.block.y2 > 0;
    f.lines.push_back({{hw, 0, blockAtCentre ? r.x2 : r.x2 - MarkInside, 0}, ThickWidth});
    f.lines.push_back({{0, hh, 0, r.y2 - MarkInside}, ThickWidth});
    f.lines.push_back({{0, -hh, 0, blockBelowCentre ? r.y1 : r.y1 + MarkInside}, ThickWidth});
    return f;
}
