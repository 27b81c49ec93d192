#include "editor/view/tiles.h"

#include "editor/model/drawingmodel.h"
#include "editor/pen/canvas.h"
#include "editor/view/renderer.h"
#include "editor/view/textpaint.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <ctime>
#include <system_error>
#include <thread>
#include <variant>

namespace {

// One band a thread, as an entity met by two bands has its geometry worked out twice;
// none lower than this.
constexpr int LeastBandRows = 16;
constexpr size_t FewEntities = 2000;

// The pixel rows an entity can write to; top > bottom for none.
struct Rows
{
    int32_t top = 1, bottom = 0;
};

double threadMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Jobs 0 … jobs - 1 shared out among the calling thread and threads - 1 others, each
// taking the next job not taken; returns when all are done. Threads that cannot be started
// leave their share to the others. times, when given, gets the busiest thread's and all
// threads' time on the processor added.
template<typename F>
void share(int threads, int jobs, const F &job, BandTimes *times)
{
    std::atomic<int> next{0};
    const int most = std::max(1, std::min(threads, jobs));
    std::vector<double> spent(size_t(most), 0);
    const auto work = [&](int t) {
        const double start = times ? threadMs() : 0;
        for (int j = next.fetch_add(1); j < jobs; j = next.fetch_add(1))
            job(j);
        if (times)
            spent[size_t(t)] = threadMs() - start;
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < most; ++t) {
        try {
            helpers.emplace_back(work, t);
        } catch (const std::system_error &) {
            break;
        }
    }
    work(0);
    for (std::thread &t : helpers)
        t.join();
    if (times) {
        times->longestMs += *std::max_element(spent.begin(), spent.end());
        for (double ms : spent)
            times->totalMs += ms;
    }
}

bool meets(const PaperBox &a, const PaperBox &b)
{
    return a.x1 <= b.x2 && b.x1 <= a.x2 && a.y1 <= b.y2 && b.y1 <= a.y2;
}

// Whether most of a sample of the drawing's entities meet the view: then a look at every
// entity, shared out, is faster than the index's question on one thread.
bool mostlyInView(const DrawingModel &model, const ViewParams &view)
{
    const size_t n = model.Count(), step = std::max<size_t>(1, n / 256);
    int live = 0, in = 0;
    for (size_t i = 0; i < n; i += step) {
        const Entity &e = model.At(i);
        PaperBox b;
        if (!e.Live() || !model.Extent(e, b))
            continue;
        ++live;
        in += meets(b, {view.x1, view.y1, view.x2, view.y2});
    }
    return live > 0 && in * 2 >= live;
}

// The rows the entity can touch: its extent with room for its pen's width and for glyphs
// reaching out of their cells.
Rows rowsOf(const DrawingModel &model, const Entity &e, const ViewParams &view, bool unsought,
           PictureLooks &looks)
{
    // Those not live are not drawn; sought ones are live.
    if (!e.Live())
        return {};
    const LineLook *look = looks.Of(e);
    PaperBox b;
    if (!look || !model.Extent(e, b))
        return {};
    // Not found by EntitiesIn: taken as it takes them, live and meeting the view.
    if (unsought && !meets(b, {view.x1, view.y1, view.x2, view.y2}))
        return {};
    const double k = view.scale;
    const double margin = ReachPixels(e, b, *look, view);
    const double top = view.height - (b.y2 - view.y1) * k - margin;
    const double bottom = view.height - (b.y1 - view.y1) * k + margin;
    // Beyond what a double holds: every row, the stroke left to find its own way.
    if (!std::isfinite(top) || !std::isfinite(bottom))
        return {0, view.height - 1};
    if (bottom < 0 || top > view.height - 1)
        return {};
    return {int32_t(std::max(top, 0.0)), int32_t(std::min(bottom, view.height - 1.0))};
}

} // namespace

void ShareJobs(int threads, int jobs, const std::function<void(int)> &job)
{
    share(threads, jobs, job, nullptr);
}

int RenderThreads()
{
    const unsigned n = std::thread::hardware_concurrency();
    return int(std::clamp<unsigned>(n, 1, MostRenderThreads));
}

int RenderThreads(int threads, size_t count)
{
    // Left to itself, a picture of few entities is drawn in one pass: starting threads and
    // drawing the sheet in every band would cost more than they save.
    if (threads <= 0)
        threads = count < FewEntities ? 1 : RenderThreads();
    return std::min(threads, MostRenderThreads);
}

namespace {

// The first row of each of so many bands of about as many of the entities each, counted at
// their middle rows, and the picture's height after them.
std::vector<int> edgesOf(const std::vector<Rows> &rows, int h, int bands)
{
    std::vector<int64_t> counted(size_t(h) + 1, 0);
    for (const Rows &r : rows) {
        if (r.top <= r.bottom)
            ++counted[size_t(r.top + r.bottom) / 2 + 1];
    }
    for (int y = 1; y <= h; ++y)
        counted[y] += counted[y - 1];
    std::vector<int> edges{0};
    for (int b = 1; b < bands; ++b) {
        const int64_t wanted = counted[h] * b / bands;
        int y = int(std::lower_bound(counted.begin(), counted.end(), wanted) - counted.begin());
        if (counted[h] == 0)
            y = h * b / bands;
        edges.push_back(std::clamp(y, edges.back(), h));
    }
    edges.push_back(h);
    return edges;
}

// The bands between the edges shared out among the threads, after the calling thread's
// work since then: each gets a canvas on the image's memory kept to its rows, with the
// sheet drawn, for draw to put its entities on.
template<typename F>
void drawBands(QImage &image, const ViewParams &view, const Sheet &sheet,
               const std::vector<int> &edges, int threads, double since, BandTimes *times,
               const F &draw)
{
    if (times) {
        times->longestMs += threadMs() - since;
        times->totalMs += threadMs() - since;
    }
    const int w = image.width(), h = image.height();
    uchar *bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const QImage::Format format = image.format();
    share(threads, int(edges.size()) - 1, [&](int band) {
        const int top = edges[band], bottom = edges[band + 1];
        if (top >= bottom)
            return;
        // The same rows of memory as the image, for this thread alone.
        QImage memory(bits, w, h, stride, format);
        Canvas canvas(memory);
        canvas.SetClip(QRect(0, top, w, bottom - top));
        RenderSheet(canvas, view, sheet);
        draw(canvas, top, bottom);
    }, times);
}

// Most of the drawing in view: bands split by a sample of the entities, each band drawing
// those the index finds around its rows within the view, as many as a part of the picture
// would look at. Every entity in view is found by each band it can write to, and only
// those near the cuts are worked out for more than one; none is looked at one by one
// beforehand.
void wholeInBands(QImage &image, const ViewParams &view, const DrawingModel &model,
                  const Sheet &sheet, int threads, BandTimes *times)
{
    const double start = times ? threadMs() : 0;
    const int h = image.height();
    const int bands = std::clamp(h / LeastBandRows, 1, threads);
    constexpr size_t Sampled = 4096;
    const size_t n = model.Count(), step = std::max<size_t>(1, n / Sampled);
    std::vector<Rows> sample;
    sample.reserve(n / step + 1);
    {
        PictureLooks looks(model);
        for (size_t i = 0; i < n; i += step)
            sample.push_back(rowsOf(model, model.At(i), view, true, looks));
    }
    const std::vector<int> edges = edgesOf(sample, h, bands);
    const double margin = SearchMargin(model, view);
    drawBands(image, view, sheet, edges, threads, start, times,
              [&](Canvas &canvas, int top, int bottom) {
                  // The band's rows on paper with the margin, within the view: an entity
                  // meets this when it meets the view and the band's surroundings both.
                  const PaperBox around{
                      view.x1, std::max(view.y1, view.y1 + (h - bottom) / view.scale - margin),
                      view.x2, std::min(view.y2, view.y1 + (h - top) / view.scale + margin)};
                  std::vector<uint32_t> found;
                  if (around.y1 <= around.y2)
                      model.EntitiesIn(around, found);
                  PictureLooks looks(model);
                  RenderEntitiesAt(canvas, view, model, found, looks);
              });
}

// The sheet and the entities at the positions given in bands; threads is more than one.
void drawInBands(QImage &image, const ViewParams &view, const DrawingModel &model,
                 const Sheet &sheet, const std::vector<uint32_t> &positions, int threads,
                 BandTimes *times)
{
    const int h = image.height();
    const int bands = std::clamp(h / LeastBandRows, 1, threads);
    const size_t count = positions.size();
    // The rows each entity meets, worked out in parts by all threads.
    std::vector<Rows> rows(count);
    const size_t parts = size_t(threads) * 8;
    const size_t part = (count + parts - 1) / parts;
    share(threads, int(parts), [&](int p) {
        const size_t from = size_t(p) * part, to = std::min(count, from + part);
        PictureLooks looks(model);
        for (size_t j = from; j < to; ++j)
            rows[j] = rowsOf(model, model.At(positions[j]), view, false, looks);
    }, times);
    const double between = times ? threadMs() : 0;
    drawBands(image, view, sheet, edgesOf(rows, h, bands), threads, between, times,
              [&](Canvas &canvas, int top, int bottom) {
                  PictureLooks looks(model);
                  for (size_t j = 0; j < count; ++j) {
                      if (rows[j].top <= rows[j].bottom && rows[j].top < bottom
                          && rows[j].bottom >= top)
                          RenderEntity(canvas, view, model, model.At(positions[j]), looks);
                  }
              });
}

bool bandable(const QImage &image, const ViewParams &view, int threads)
{
    return threads > 1 && image.depth() == 32 && image.width() == view.width
           && image.height() == view.height && view.height >= 2 * LeastBandRows;
}

// The sheet, then the entities at the positions given (ascending, as EntitiesIn gives
// them), in bands as RenderPictureInBands draws them.
void entitiesInBands(QImage &image, const ViewParams &view, const DrawingModel &model,
                     const Sheet &sheet, const std::vector<uint32_t> &positions,
                     int threads, BandTimes *times)
{
    threads = RenderThreads(threads, positions.size());
    if (bandable(image, view, threads)) {
        drawInBands(image, view, model, sheet, positions, threads, times);
        return;
    }
    const double start = times ? threadMs() : 0;
    Canvas canvas(image);
    RenderSheet(canvas, view, sheet);
    PictureLooks looks(model);
    RenderEntitiesAt(canvas, view, model, positions, looks);
    if (times) {
        times->longestMs += threadMs() - start;
        times->totalMs += threadMs() - start;
    }
}

} // namespace

void RenderPictureInBands(QImage &image, const ViewParams &view, const DrawingModel &model,
                          const Sheet &sheet, int threads, BandTimes *times)
{
    const double start = times ? threadMs() : 0;
    BeginTextPictures();
    const int forAll = RenderThreads(threads, model.Count());
    // The bands ask the index themselves where several threads may ask it at once.
    const bool whole =
        bandable(image, view, forAll) && mostlyInView(model, view) && model.PrepareIndex();
    std::vector<uint32_t> seen;
    if (!whole)
        model.EntitiesIn({view.x1, view.y1, view.x2, view.y2}, seen);
    if (times) {
        times->longestMs += threadMs() - start;
        times->totalMs += threadMs() - start;
    }
    if (whole)
        wholeInBands(image, view, model, sheet, forAll, times);
    else
        entitiesInBands(image, view, model, sheet, seen, threads, times);
}

