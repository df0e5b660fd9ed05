#pragma once
// The pool of pixel worker threads. A poster hands every worker exactly one
// job (it fills each worker's own job block and signals it, all before it
// waits), then waits until all have finished; there is no queue. Only one
// thread posts at a time (the frame-step thread, or the main thread's
// presentation, which frame pacing keeps apart), so the pool takes no lock.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <thread>

#include "image/qcg_format.h"

struct LayerRecord;

enum WorkerJobCode : int32_t {
  JOB_NONE = 0,
  JOB_SCALE_NEAREST = 11,
  JOB_SCALE_BILINEAR = 21,
  JOB_SCALE_BILINEAR_ALT = 29,
  JOB_SCALE_SMOOTH = 41,
  JOB_TEXTURE_LEVEL = 42,
  JOB_BLEND_ROWS = 101,
  JOB_BLEND_ROWS_MASKED = 102,
  JOB_BLEND_ROWS_ALPHA = 103,
  JOB_BLEND_ROWS_MASKED_ALPHA = 104,
  JOB_QCG_RAW = 1000,
  JOB_QCG_ZLIB = 1001,
  JOB_QCG_SNP = 1002,
  JOB_QCG_WEBP = 1003,
  // Numbered parts of one piece of work (an effect's row bands, a save's
  // records), claimed one at a time by every worker and the poster.
  JOB_PARTS = 3000,
};

constexpr int kMaxWorkerJobs = 64;
// Blends of fewer pixels than this run on the posting thread: handing them
// over would take longer than the blend. While a worker sleeps (no job came
// for a while) the bar is higher: waking a sleeping thread takes tens of
// microseconds, on a virtual machine hundreds.
constexpr int64_t kPoolJobMinPixels = 16384;
constexpr int64_t kSleepingPoolJobMinPixels = 262144;
constexpr int kMaxPixelWorkers = 4;
// The widest destination the smooth scale job serves (the image side limit).
constexpr int32_t kSmoothScaleMaxWidth = 8192;
// Bytes of the qcg file image in front of the stored halves.
constexpr size_t kQcgHeaderBytes = kQcgDataOffset;

// The job block of one worker. The poster writes it before it starts the
// worker; the worker reads it and writes only mStatus and mRan.
struct WorkerJob {
  int32_t mIndex = 0;
  int32_t mCode = JOB_NONE;

  // Blend jobs (101-104): band rows [mFirstRow, mEndRow) of the blit; band
  // row r is destination row mDstY + r and source row mSrcY + r.
  int64_t mFirstRow = 0;
  int64_t mEndRow = 0;
  int32_t mWidth = 0;
  int64_t mSrcX = 0;
  int64_t mSrcY = 0;
  int64_t mDstX = 0;
  int64_t mDstY = 0;
  LayerRecord* mDestination = nullptr;
  LayerRecord* mSource = nullptr;
  LayerRecord* mMask = nullptr;           // 102 and 104
  const uint8_t* mMaskPixels = nullptr;   // 102 and 104

  // Scale jobs (11, 21, 41): destination rows [mScaleFirstRow, mScaleEndRow),
  // visible columns [mFirstColumn, mEndColumn); x0, y0, x1, y1 (hundredths
  // of a pixel for 21 and 41); the destination size (times 100 for 21, 41).
  int64_t mScaleFirstRow = 0;
  int64_t mScaleEndRow = 0;
  int64_t mFirstColumn = 0;
  int64_t mEndColumn = 0;
  int64_t mX0 = 0;
  int64_t mY0 = 0;
  int64_t mX1 = 0;
  int64_t mY1 = 0;
  int64_t mSourceWidth = 0;
  int64_t mSourceHeight = 0;
  int64_t mDestWidth = 0;
  int64_t mDestHeight = 0;
  uint8_t* mDestPixels = nullptr;
  const uint8_t* mSourcePixels = nullptr;
  // Column table of the smooth scale: 2 * destination width entries of 8.8
  // fixed-point source x offsets (start and middle of each pixel).
  // Job 11: source column and row offsets per destination column and row.
  // Job 21: byte offsets of the source columns, and beside them the column
  // weights, each repeated for the four channels.
  const int32_t* mColumnTable = nullptr;
  const int32_t* mRowTable = nullptr;
  const uint16_t* mColumnWeights = nullptr;

  // qcg jobs (1000-1003): worker 0 unpacks the first half, worker 1 the
  // second. The stored data begins kQcgHeaderBytes into the file image.
  size_t mOutBytes1 = 0;
  size_t mStoredBytes1 = 0;
  size_t mOutBytes2 = 0;
  size_t mStoredBytes2 = 0;
  int32_t mImageWidth = 0;
  int32_t mImageHeight = 0;
  uint8_t* mPixelBlock = nullptr;
  size_t mPixelBlockBytes = 0;
  const uint8_t* mFile = nullptr;
  size_t mFileBytes = 0;

  // Parts job (3000): the routine and its context; the parts themselves are
  // claimed from a count shared by every block of the run.
  void (*mPartRoutine)(void* context, int64_t part, int slot) = nullptr;
  void* mPartContext = nullptr;

  // Results: 0 done; non-zero when the routine failed (a damaged qcg half,
  // a smooth scale wider than an image may be). mRan is false when the worker ended on the
  // quit flag without running the job.
  int32_t mStatus = 0;
  bool mRan = false;
};

extern WorkerJob g_WorkerJobs[kMaxWorkerJobs];

// Starts min(max(g_WorkerCount, 1), kMaxPixelWorkers) workers. A worker that
// the system refuses to start leaves the pool smaller; when none starts the
// failure is reported and the result is non-zero. g_WorkerCount becomes the
// number running.
int StartPixelWorkers();
// Wakes every worker (they end on the quit flag or this stop) and joins them.
void StopPixelWorkers();
// Workers running now; 0 before the start and after the stop.
int GetPixelWorkerCount();

// The posting protocol: PostWorkerJob(i) for i = 0..count-1 (the job block i
// filled first) hands the job over without waiting; WaitForWorkerJobs(count)
// then waits for every done signal. A block is not written again until its
// job is done. A worker that is not running has its job run here on the
// posting thread.
void PostWorkerJob(int worker);
void WaitForWorkerJobs(int count);

// Runs the job of a block on the calling thread, as a worker would.
void RunWorkerJob(WorkerJob* job, int worker);

// Blends `rows` rows of `width` pixels: source (srcX, srcY) onto destination
// (dstX, dstY), spread over the workers in contiguous bands; on the calling
// thread when the pool is not running or the blend is small (fewer than
// kPoolJobMinPixels pixels, fewer than kSleepingPoolJobMinPixels while a
// worker sleeps, or a single row; the job blocks then hold the bands all the
// same, marked run). code is one of the four blend jobs. The
// bands are claimed in chunks of rows: each worker starts with its own band,
// the poster takes chunks too once it has handed every job over, and a
// worker that has not woken when every chunk is claimed has its job taken
// back (marked run) instead of waited for.
void RunBlendJobs(int32_t code, LayerRecord* destination, LayerRecord* source, LayerRecord* mask, int64_t srcX,
                  int64_t srcY, int64_t dstX, int64_t dstY, int32_t width, int64_t rows);

// Unpacks the two halves of a qcg image into `pixels` (pixelBytes long):
// workers 0 and 1 when two or more run, else both here. 0 when both halves
// came out whole, each exactly its output size; 1 when the first half failed,
// 2 when only the second did (the caller reports it).
int RunQcgJobs(int32_t code, uint8_t* pixels, size_t pixelBytes, const uint8_t* file, size_t fileBytes,
               size_t outBytes1, size_t storedBytes1, size_t outBytes2, size_t storedBytes2, int32_t width,
               int32_t height);

// A routine of a parts run: does part `part` of the work in `context`.
// `slot` (0..kPartSlots-1) names the thread running it for the run's
// duration, for scratch memory of its own: worker i is slot i, the poster
// slot kMaxPixelWorkers. A routine writes only what its part owns, so the
// result does not depend on which thread ran which part.
using WorkerPartRoutine = void (*)(void* context, int64_t part, int slot);
constexpr int kPartSlots = kMaxPixelWorkers + 1;
// Runs parts 0..parts-1 of `routine` over the workers and the calling
// thread, each part exactly once, and returns when all are done. Parts are
// claimed in order as threads come free, so uneven parts even out. With no
// pool running, or a single part, everything runs here (slot
// kMaxPixelWorkers). Not re-entrant: a routine must not start a run.
void RunWorkerParts(int64_t parts, WorkerPartRoutine routine, void* context);

// Tests replace the thread start to see a pool that the system refuses in
// part; nullptr restores the platform's start.
using WorkerThreadStarter = bool (*)(std::thread& thread, std::function<void()> routine);
void SetWorkerThreadStarter(WorkerThreadStarter starter);
