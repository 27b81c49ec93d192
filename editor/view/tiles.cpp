#include "editor/view/tiles.h"

#include "editor/model/drawingmodel.h"
#include "editor/pen/canvas.h"
#include "editor/view/renderer.h"
#include "editor/view/textpaint.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <system_error>
#include <thread>
#include <variant>

namespace {

// Several bands a thread, so that a crowded band does not leave the other threads idle.
constexpr int BandsPerThread = 4;
constexpr int LeastBandRows = 16;
// Band numbers fit a byte, 255 being none.
constexpr int MostBands = 250;

// The first and last band an entity can write to; first > last for none.
struct Span
{
    uint8_t first = 255, last = 0;
};

// Jobs 0 … jobs - 1 shared out among the calling thread and threads - 1 others, each
// taking the next job not taken; returns when all are done. Threads that cannot be started
// leave their share to the others.
template<typename F>
void share(int threads, int jobs, const F &job)
{
    std::atomic<int> next{0};
    const auto work = [&] {
        for (int j = next.fetch_add(1); j < jobs; j = next.fetch_add(1))
            job(j);
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads && t < jobs; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error &) {
            break;
        }
    }
    work();
    for (std::thread &t : helpers)
        t.join();
}

// The rows the entity can touch: its extent with room for its pen's width and for glyphs
// reaching out of their cells, as bands of bandRows rows.
Span spanOf(const DrawingModel &model, const Entity &e, const ViewParams &view, int bandRows,
            int bands)
{
    LineLook look;
    PaperBox b;
    if (!model.Look(e, look) || !model.Extent(e, b))
        return {};
    const double k = view.scale;
    double margin = std::min(std::fabs(look.pen.width) / 100.0 * k, 400.0) / 2 + 3;
    if (std::holds_alternative<TextRef>(e.shape))
        margin += std::min(b.x2 - b.x1, b.y2 - b.y1) * k / 2;
    const double top = view.height - (b.y2 - view.y1) * k - margin;
    const double bottom = view.height - (b.y1 - view.y1) * k + margin;
    // Beyond what a double holds: every band, the stroke left to find its own way.
    if (!std::isfinite(top) || !std::isfinite(bottom))
        return {0, uint8_t(bands - 1)};
    if (bottom < 0 || top > view.height - 1)
        return {};
    const int first = std::min(bands - 1, int(std::max(top, 0.0)) / bandRows);
    const int last = std::min(bands - 1, int(std::min(bottom, view.height - 1.0)) / bandRows);
    return {uint8_t(first), uint8_t(last)};
}

} // namespace

int RenderThreads()
{
    const unsigned n = std::thread::hardware_concurrency();
    return int(std::clamp<unsigned>(n, 1, MostRenderThreads));
}

void RenderPictureInBands(QImage &image, const ViewParams &view, const DrawingModel &model,
                          const Sheet &sheet, int threads)
{
    BeginTextPictures();
    std::vector<uint32_t> seen;
    model.EntitiesIn({view.x1, view.y1, view.x2, view.y2}, seen);
    RenderEntitiesInBands(image, view, model, sheet, seen, threads);
}

void RenderEntitiesInBands(QImage &image, const ViewParams &view, const DrawingModel &model,
                           const Sheet &sheet, const std::vector<uint32_t> &positions,
                           int threads)
{
    threads = threads <= 0 ? RenderThreads() : std::min(threads, MostRenderThreads);
    const int w = image.width(), h = image.height();
    const int bands = std::clamp(std::min(threads * BandsPerThread, h / LeastBandRows), 1,
                                 MostBands);
    if (threads == 1 || bands == 1 || image.depth() != 32 || w != view.width
        || h != view.height) {
        Canvas canvas(image);
        RenderSheet(canvas, view, sheet);
        for (uint32_t i : positions)
            RenderEntity(canvas, view, model, model.At(i));
        return;
    }
    const int bandRows = (h + bands - 1) / bands;
    // Which bands each entity meets, worked out in parts by all threads.
    std::vector<Span> spans(positions.size());
    const size_t parts = size_t(threads) * 8;
    const size_t part = (positions.size() + parts - 1) / parts;
    share(threads, int(parts), [&](int p) {
        const size_t from = size_t(p) * part, to = std::min(positions.size(), from + part);
        for (size_t j = from; j < to; ++j)
            spans[j] = spanOf(model, model.At(positions[j]), view, bandRows, bands);
    });
    uchar *bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const QImage::Format format = image.format();
    share(threads, bands, [&](int band) {
        // The same rows of memory as the image, for this thread alone.
        QImage rows(bits, w, h, stride, format);
        Canvas canvas(rows);
        canvas.SetRows(band * bandRows, std::min(h, (band + 1) * bandRows));
        RenderSheet(canvas, view, sheet);
        for (size_t j = 0; j < positions.size(); ++j) {
            if (spans[j].first <= band && band <= spans[j].last)
                RenderEntity(canvas, view, model, model.At(positions[j]));
        }
    });
}
