// The picture drawn in bands of rows on worker threads. Each band is drawn from the whole
// view with its writes kept to its rows, so that the joined bands equal the picture drawn
// in one pass pixel for pixel. The threads only read the drawing and write their rows of
// the image; every one has finished when a call returns.
#pragma once

#include "editor/pen/pen.h"

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class DrawingModel;
struct Sheet;

// Threads for one picture: the machine's, at most MostRenderThreads; at least 1.
constexpr int MostRenderThreads = 8;
int RenderThreads();
// Threads for a picture of about count entities, as asked (0: the machine's, or one for few).
int RenderThreads(int threads, size_t count);

// Jobs 0 … jobs - 1 shared out among the calling thread and up to threads - 1 others, each
// taking the next job not taken; returns when all are done.
void ShareJobs(int threads, int jobs, const std::function<void(int)> &job);

// What a picture in bands took on the processor, for the benchmarks: the calling thread's
// own work besides the shared steps plus each shared step's busiest thread, which is the
// time it takes with a free core for every thread; and all threads' time together.
struct BandTimes
{
    double longestMs = 0;
    double totalMs = 0;
};

// RenderPicture into the image (of the view's size, 32 bits a pixel) on up to threads
// threads (0: RenderThreads(), or one for a picture of few entities).
void RenderPictureInBands(QImage &image, const ViewParams &view, const DrawingModel &model,
                          const Sheet &sheet, int threads = 0, BandTimes *times = nullptr);
