#include "image/pixel_workers.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "core/errors.h"
#include "core/platform_facts.h"
#include "core/process_state.h"
#include "datasrc/compression.h"
#include "image/blend_kernels.h"
#include "image/pixel_primitives.h"
#include "image/webp_codec.h"
#include "layer/layer_record.h"
#include "platform/threads.h"
#include "render/scalers.h"

WorkerJob g_WorkerJobs[kMaxWorkerJobs];

namespace {

// An auto-reset signal for the hand-off between the poster and one worker: a
// Set releases one Wait. A waiter spins first and sleeps on the word only
// after kSpinTime without a signal; no lock is taken. The jobs of one frame
// come in bursts a few microseconds apart, and waking a sleeping thread costs
// tens of microseconds on a loaded or virtual machine, more than a band of a
// mid-sized blend takes: spinning through the burst keeps both sides awake,
// and a pool that has nothing to do sleeps again after kSpinTime.
class HandOffSignal {
 public:
  void Set() {
    mSignalled.store(1, std::memory_order_release);
    mSignalled.notify_one();
  }
  void Wait() {
    if (Spin()) return;
    mSleeping.store(true, std::memory_order_relaxed);
    while (!TryTake()) mSignalled.wait(0, std::memory_order_acquire);
    mSleeping.store(false, std::memory_order_relaxed);
  }
  // The waiter has stopped spinning and sleeps (or is about to): a Set
  // must wake it. A hint only; the hand-off does not depend on it.
  bool Sleeping() const { return mSleeping.load(std::memory_order_relaxed); }
  void Clear() { mSignalled.store(0, std::memory_order_relaxed); }
  // Takes back a Set that no Wait has taken yet; true when it did.
  bool Withdraw() { return TryTake(); }

 private:
  static constexpr std::chrono::microseconds kSpinTime{100};
  static constexpr int kPausesPerLook = 64;
  bool TryTake() {
    return mSignalled.load(std::memory_order_relaxed) != 0 && mSignalled.exchange(0, std::memory_order_acquire) != 0;
  }
  // A short run of pauses, then yields: a yield returns at once on an idle
  // processor and hands it over when other threads wait for one, so the
  // spinning never keeps a worker of the same job from running.
  bool Spin() {
    for (int pause = 0; pause < kPausesPerLook; ++pause) {
      if (TryTake()) return true;
      Pause();
    }
    auto end = std::chrono::steady_clock::now() + kSpinTime;
    for (;;) {
      if (TryTake()) return true;
      std::this_thread::yield();
      if (std::chrono::steady_clock::now() >= end) return false;
    }
  }
  static void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
  }
  std::atomic<uint32_t> mSignalled{0};
  std::atomic<bool> mSleeping{false};
};

// The start and done signals of a worker are cleared at every start of the
// pool: the poster waits only for jobs it handed over.
struct PixelWorker {
  std::thread mThread;
  HandOffSignal mStart;
  HandOffSignal mDone;
  std::atomic<bool> mRunning{false};
  // The job was handed to the thread (not run by the poster).
  bool mPosted = false;
};

// The pool, its events and the busy count's condition are never destroyed:
// when the process ends through exit() (a library may call it) while a
// worker waits on its event, the static destructors would destroy that event
// under the waiter, which never returns. The threads end with the process.
PixelWorker* const g_Workers = new PixelWorker[kMaxPixelWorkers];
int g_StartedWorkers = 0;
std::atomic<bool> g_StopWorkers{false};
WorkerThreadStarter g_ThreadStarter = nullptr;

// g_WorkersIdle is 1 exactly while no worker runs a job. A worker that changes
// the count writes the flag from the count it saw and writes it again when
// the count moved meanwhile, so the last write always matches the count.
std::atomic<int> g_BusyWorkers{0};

void PublishIdle() {
  for (;;) {
    int busy = g_BusyWorkers.load();
    g_WorkersIdle.store(busy == 0 ? 1 : 0);
    if (g_BusyWorkers.load() == busy) return;
  }
}

void MarkWorkerBusy(bool busy) {
  int now = g_BusyWorkers.fetch_add(busy ? 1 : -1) + (busy ? 1 : -1);
  PublishIdle();
  if (now == 0) g_BusyWorkers.notify_all();
}

// A blend batch spread over the pool is claimed in chunks of rows: each
// worker works through its own band first and then takes chunks that are
// still unclaimed in the others' bands, so a worker whose processor is slow
// or busy does not hold the whole batch up. Every chunk is claimed exactly
// once; the bytes written do not depend on who writes them.
constexpr int64_t kBandChunkRows = 8;
struct BandChunks {
  int64_t mFirstRow = 0;
  int64_t mEndRow = 0;
  int64_t mChunks = 0;
  std::atomic<int64_t> mNext{0};
};
BandChunks g_BandChunks[kMaxPixelWorkers];
// Bands of the batch being run, 0 when no batch is shared. Written by the
// poster only while no worker runs a blend job.
int g_SharedBands = 0;

void RunBlendRows(const WorkerJob& job, int64_t firstRow, int64_t endRow) {
  LayerRecord* dst = job.mDestination;
  LayerRecord* src = job.mSource;
  if (dst == nullptr || src == nullptr || dst->mPixels == nullptr || src->mPixels == nullptr) return;
  if (src->mBlendMode >= kBlendModeCount || job.mWidth <= 0) return;
  int opacity = std::clamp<int>(src->mOpacity, 0, 256);
  int entry = src->mBlendMode * 2 + (opacity >> 8);
  size_t bytes = static_cast<size_t>(job.mWidth) * 4;
  bool masked = job.mCode == JOB_BLEND_ROWS_MASKED || job.mCode == JOB_BLEND_ROWS_MASKED_ALPHA;
  if (masked && (job.mMask == nullptr || job.mMaskPixels == nullptr)) return;
  BlendKernel plain = nullptr;
  RuleBlendKernel rule = nullptr;
  switch (job.mCode) {
    case JOB_BLEND_ROWS: plain = g_BlendKernels.mPlain[entry]; break;
    case JOB_BLEND_ROWS_ALPHA: plain = g_BlendKernels.mAlpha[entry]; break;
    case JOB_BLEND_ROWS_MASKED: rule = g_BlendKernels.mMasked[entry]; break;
    default: rule = g_BlendKernels.mMaskedAlpha[src->mBlendMode * 2]; break;
  }
  if (plain == nullptr && rule == nullptr) return;
  for (int64_t r = firstRow; r < endRow; ++r) {
    uint8_t* d = dst->mPixels + ((job.mDstY + r) * dst->mWidth + job.mDstX) * 4;
    const uint8_t* s = src->mPixels + ((job.mSrcY + r) * src->mWidth + job.mSrcX) * 4;
    if (plain != nullptr) {
      plain(d, s, opacity, bytes);
    } else {
      const uint8_t* m = job.mMaskPixels + ((job.mSrcY + r) * job.mMask->mWidth + job.mSrcX) * 4;
      rule(d, s, m, src->mRuleThreshold, src->mRuleSoftness, bytes);
    }
  }
}

// Claims chunks of band b until none is left.
void RunBandChunks(const WorkerJob& job, int band) {
  BandChunks& chunks = g_BandChunks[band];
  for (int64_t c = chunks.mNext.fetch_add(1, std::memory_order_relaxed); c < chunks.mChunks;
       c = chunks.mNext.fetch_add(1, std::memory_order_relaxed)) {
    int64_t first = chunks.mFirstRow + c * kBandChunkRows;
    RunBlendRows(job, first, std::min(chunks.mEndRow, first + kBandChunkRows));
  }
}

bool AnyWorkerSleeping(int count) {
  for (int i = 0; i < count; ++i) {
    if (g_Workers[i].mStart.Sleeping()) return true;
  }
  return false;
}

// Called once every chunk or part of a shared run is claimed: a worker that
// has not woken yet would find nothing left, so its job is taken back
// instead of waited for (waking a sleeping thread can take longer than the
// whole run).
void TakeBackUnstartedJobs(int count) {
  for (int i = 0; i < count; ++i) {
    PixelWorker& worker = g_Workers[i];
    if (worker.mPosted && worker.mStart.Withdraw()) {
      worker.mPosted = false;
      g_WorkerJobs[i].mStatus = 0;
      g_WorkerJobs[i].mRan = true;
    }
  }
}

void RunBlendRowsJob(const WorkerJob& job, int worker) {
  if (g_SharedBands == 0 || worker < 0 || worker >= g_SharedBands) {
    RunBlendRows(job, job.mFirstRow, job.mEndRow);
    return;
  }
  for (int k = 0; k < g_SharedBands; ++k) RunBandChunks(job, (worker + k) % g_SharedBands);
}

// The shared count of a parts run. Written by the poster only while no
// worker runs a parts job.
struct PartRun {
  int64_t mParts = 0;
  std::atomic<int64_t> mNext{0};
};
PartRun g_PartRun;

void RunPartsJob(const WorkerJob& job, int slot) {
  if (job.mPartRoutine == nullptr) return;
  for (int64_t part = g_PartRun.mNext.fetch_add(1, std::memory_order_relaxed); part < g_PartRun.mParts;
       part = g_PartRun.mNext.fetch_add(1, std::memory_order_relaxed)) {
    job.mPartRoutine(job.mPartContext, part, slot);
  }
}

// One bilinear sub-sample: per byte, the top and bottom pairs weighted by
// fx, then the two weighted by fy.
inline void SampleBilinear(uint8_t* out, const uint8_t* p00, size_t rowBytes, int fx, int fy) {
  const uint8_t* p10 = p00 + rowBytes;
  for (int b = 0; b < 4; ++b) {
    int top = (p00[b] * (256 - fx) + p00[b + 4] * fx) >> 8;
    int bottom = (p10[b] * (256 - fx) + p10[b + 4] * fx) >> 8;
    out[b] = static_cast<uint8_t>((top * (256 - fy) + bottom * fy) >> 8);
  }
}

// Each destination pixel averages four bilinear sub-samples: the start and
// middle columns of the pixel, each on the two sub-rows.
int32_t RunScaleSmoothJob(const WorkerJob& job) {
  int64_t width = job.mDestWidth / 100;
  int64_t divisor = job.mDestHeight == 100 ? 100 : job.mDestHeight - 100;
  int64_t span = job.mY1 - job.mY0;
  int64_t x0 = job.mX0 / 100;
  int64_t y0 = job.mY0 / 100;
  int64_t srcW = job.mSourceWidth;
  int64_t srcH = job.mSourceHeight;
  int64_t u = job.mFirstColumn;
  int64_t k = job.mEndColumn;
  if (width <= 0 || width > kSmoothScaleMaxWidth || divisor <= 0 || srcW <= 0 || srcH <= 0 || u < 0 || k > width ||
      job.mDestPixels == nullptr || job.mSourcePixels == nullptr || (u < k && job.mColumnTable == nullptr)) {
    return 1;
  }
  size_t rowBytes = static_cast<size_t>(srcW) * 4;
  for (int64_t i = job.mScaleFirstRow; i < job.mScaleEndRow; ++i) {
    uint8_t* out = job.mDestPixels + static_cast<size_t>(i * width) * 4;
    g_PixelPrimitives.mZeroBytes(out, static_cast<size_t>(u) * 4);
    if (k < width) g_PixelPrimitives.mZeroBytes(out + k * 4, static_cast<size_t>(width - k) * 4);
    if (u >= k) continue;
    int64_t p1 = (256 * i * span) / divisor;
    int64_t p2 = ((256 * i + 128) * span) / divisor;
    int64_t row1 = y0 + (p1 >> 8);
    int64_t row2 = y0 + (p2 >> 8);
    int fy1 = static_cast<int>(p1 & 255);
    int fy2 = static_cast<int>(p2 & 255);
    if ((row2 * srcW + x0) > (srcH - 1) * srcW) {
      row2 = row1;
      fy2 = fy1;
    }
    const uint8_t* base1 = job.mSourcePixels + static_cast<size_t>(row1 * srcW + x0) * 4;
    const uint8_t* base2 = job.mSourcePixels + static_cast<size_t>(row2 * srcW + x0) * 4;
    for (int64_t l = u; l < k; ++l) {
      uint8_t first[2][4];
      uint8_t second[2][4];
      for (int half = 0; half < 2; ++half) {
        int32_t g = job.mColumnTable[2 * l + half];
        size_t offset = static_cast<size_t>(g >> 8) * 4;
        SampleBilinear(first[half], base1 + offset, rowBytes, g & 255, fy1);
        SampleBilinear(second[half], base2 + offset, rowBytes, g & 255, fy2);
      }
      for (int b = 0; b < 4; ++b) {
        int left = (first[0][b] + second[0][b] + 1) >> 1;
        int right = (first[1][b] + second[1][b] + 1) >> 1;
        out[l * 4 + b] = static_cast<uint8_t>((left + right + 1) >> 1);
      }
    }
  }
  return 0;
}

int32_t RunQcgHalf(const WorkerJob& job, int half) {
  size_t outOffset = half == 0 ? 0 : job.mOutBytes1;
  size_t out = half == 0 ? job.mOutBytes1 : job.mOutBytes2;
  size_t inOffset = kQcgHeaderBytes + (half == 0 ? 0 : job.mStoredBytes1);
  size_t stored = half == 0 ? job.mStoredBytes1 : job.mStoredBytes2;
  if (job.mFile == nullptr || job.mPixelBlock == nullptr) return 1;
  // Both halves must lie inside the file image and the pixel block.
  if (job.mFileBytes < kQcgHeaderBytes || job.mStoredBytes1 > job.mFileBytes - kQcgHeaderBytes ||
      stored > job.mFileBytes - inOffset) {
    return 1;
  }
  if (job.mOutBytes1 > job.mPixelBlockBytes || out > job.mPixelBlockBytes - outOffset) return 1;
  const uint8_t* in = job.mFile + inOffset;
  uint8_t* target = job.mPixelBlock + outOffset;
  switch (job.mCode) {
    case JOB_QCG_RAW:
      // Stored as is: the half is exactly the bytes it yields.
      if (out != stored) return 1;
      g_PixelPrimitives.mCopyBytes(target, in, out);
      return 0;
    case JOB_QCG_ZLIB: {
      if (out > UINT32_MAX || stored > UINT32_MAX) return 1;
      uLongf length = static_cast<uLongf>(out);
      int result = uncompress(target, &length, in, static_cast<uLong>(stored));
      return result == Z_OK && length == out ? 0 : 1;
    }
    case JOB_QCG_SNP: {
      if (g_SnpApi.mUncompress == nullptr || g_SnpApi.mUncompressedLength == nullptr) return 1;
      // The block states what it unpacks to: it must be the half's size.
      size_t length = 0;
      if (g_SnpApi.mUncompressedLength(reinterpret_cast<const char*>(in), stored, &length) != 0 || length != out) {
        return 1;
      }
      int result = g_SnpApi.mUncompress(reinterpret_cast<const char*>(in), stored, reinterpret_cast<char*>(target),
                                        &length);
      return result == 0 && length == out ? 0 : 1;
    }
    case JOB_QCG_WEBP: {
      // Each half is a WebP stream of its own whose picture is exactly the
      // half's bytes; it is decoded as one run of rows into its place.
      if (g_WebpApi.mGetInfo == nullptr || g_WebpApi.mDecode == nullptr) return 1;
      int32_t width = 0;
      int32_t height = 0;
      if (!g_WebpApi.mGetInfo(in, stored, &width, &height)) return 1;
      if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4 != out) return 1;
      return g_WebpApi.mDecode(in, stored, target, out, width * 4) ? 0 : 1;
    }
    default:
      return 1;
  }
}

void PixelWorkerMain(int index) {
  PixelWorker& worker = g_Workers[index];
  WorkerJob& job = g_WorkerJobs[index];
  for (;;) {
    MarkWorkerBusy(false);
    worker.mStart.Wait();
    MarkWorkerBusy(true);
    if (g_QuitFlag.load() != 0 || g_StopWorkers.load()) {
      job.mRan = false;
      worker.mRunning.store(false);
      worker.mDone.Set();
      MarkWorkerBusy(false);
      return;
    }
    RunWorkerJob(&job, index);
    worker.mDone.Set();
  }
}

bool StartWorkerThread(std::thread& thread, std::function<void()> routine) {
  if (g_ThreadStarter != nullptr) return g_ThreadStarter(thread, std::move(routine));
  return StartThread(thread, std::move(routine));
}

}  // namespace

void RunWorkerJob(WorkerJob* job, int worker) {
  job->mStatus = 0;
  switch (job->mCode) {
    case JOB_BLEND_ROWS:
    case JOB_BLEND_ROWS_MASKED:
    case JOB_BLEND_ROWS_ALPHA:
    case JOB_BLEND_ROWS_MASKED_ALPHA:
      RunBlendRowsJob(*job, worker);
      break;
    case JOB_SCALE_NEAREST:
      job->mStatus = RunScaleNearestJob(*job);
      break;
    case JOB_SCALE_BILINEAR:
      job->mStatus = RunScaleBilinearJob(*job);
      break;
    case JOB_SCALE_SMOOTH:
      job->mStatus = RunScaleSmoothJob(*job);
      break;
    case JOB_QCG_RAW:
    case JOB_QCG_ZLIB:
    case JOB_QCG_SNP:
    case JOB_QCG_WEBP:
      if (worker == 0 || worker == 1) job->mStatus = RunQcgHalf(*job, worker);
      break;
    case JOB_PARTS:
      // A block run by hand outside a parts run has nothing to claim.
      if (worker >= 0 && worker < kMaxPixelWorkers) RunPartsJob(*job, worker);
      break;
    default:
      // 29 and 42 and any other code complete without work.
      break;
  }
  job->mRan = true;
}

int StartPixelWorkers() {
  if (g_StartedWorkers > 0) return 0;
  int wanted = std::clamp<int>(g_WorkerCount, 1, kMaxPixelWorkers);
  g_StopWorkers.store(false);
  g_BusyWorkers.store(0);
  for (int i = 0; i < wanted; ++i) {
    PixelWorker& worker = g_Workers[i];
    g_WorkerJobs[i] = WorkerJob();
    g_WorkerJobs[i].mIndex = i;
    worker.mStart.Clear();
    worker.mDone.Clear();
    worker.mPosted = false;
    g_BusyWorkers.fetch_add(1);
    worker.mRunning.store(true);
    if (!StartWorkerThread(worker.mThread, [i] { PixelWorkerMain(i); })) {
      worker.mRunning.store(false);
      g_BusyWorkers.fetch_sub(1);
      break;
    }
    ++g_StartedWorkers;
  }
  if (g_StartedWorkers == 0) {
    g_WorkersIdle.store(1);
    ReportError(kMsgOutOfMemory);
    return -1;
  }
  g_WorkerCount = static_cast<uint8_t>(g_StartedWorkers);
  // Start-up ends with every worker waiting for its first job.
  for (int busy = g_BusyWorkers.load(); busy != 0; busy = g_BusyWorkers.load()) g_BusyWorkers.wait(busy);
  PublishIdle();
  return 0;
}

void StopPixelWorkers() {
  g_StopWorkers.store(true);
  for (int i = 0; i < g_StartedWorkers; ++i) g_Workers[i].mStart.Set();
  for (int i = 0; i < g_StartedWorkers; ++i) {
    PixelWorker& worker = g_Workers[i];
    if (worker.mThread.joinable()) worker.mThread.join();
    worker.mRunning.store(false);
  }
  g_StartedWorkers = 0;
  g_StopWorkers.store(false);
  g_BusyWorkers.store(0);
  g_WorkersIdle.store(1);
}

int GetPixelWorkerCount() { return g_StartedWorkers; }

void PostWorkerJob(int worker) {
  WorkerJob& job = g_WorkerJobs[worker];
  job.mIndex = worker;
  job.mRan = false;
  if (worker >= g_StartedWorkers || !g_Workers[worker].mRunning.load()) {
    if (worker < kMaxPixelWorkers) g_Workers[worker].mPosted = false;
    RunWorkerJob(&job, worker);
    return;
  }
  PixelWorker& thread = g_Workers[worker];
  thread.mPosted = true;
  thread.mStart.Set();
}

void WaitForWorkerJobs(int count) {
  for (int i = 0; i < count && i < kMaxPixelWorkers; ++i) {
    PixelWorker& worker = g_Workers[i];
    if (!worker.mPosted) continue;
    worker.mDone.Wait();
    worker.mPosted = false;
    // A worker that ended on the quit flag left its job undone.
    if (!g_WorkerJobs[i].mRan) RunWorkerJob(&g_WorkerJobs[i], i);
  }
}

void RunBlendJobs(int32_t code, LayerRecord* destination, LayerRecord* source, LayerRecord* mask, int64_t srcX,
                  int64_t srcY, int64_t dstX, int64_t dstY, int32_t width, int64_t rows) {
  if (rows <= 0 || width <= 0) return;
  auto fill = [&](WorkerJob& job, int64_t first, int64_t end) {
    job.mCode = code;
    job.mFirstRow = first;
    job.mEndRow = end;
    job.mWidth = width;
    job.mSrcX = srcX;
    job.mSrcY = srcY;
    job.mDstX = dstX;
    job.mDstY = dstY;
    job.mDestination = destination;
    job.mSource = source;
    bool masked = code == JOB_BLEND_ROWS_MASKED || code == JOB_BLEND_ROWS_MASKED_ALPHA;
    job.mMask = masked ? mask : nullptr;
    job.mMaskPixels = masked && mask != nullptr ? mask->mPixels : nullptr;
  };
  int count = g_StartedWorkers;
  if (count == 0) {
    WorkerJob job;
    fill(job, 0, rows);
    RunBlendRows(job, 0, rows);
    return;
  }
  int64_t pixels = rows * width;
  bool onPoster = pixels < kPoolJobMinPixels || (count > 1 && rows == 1) ||
                  (pixels < kSleepingPoolJobMinPixels && AnyWorkerSleeping(count));
  // Every block and band is written before the first worker starts: a
  // worker may take chunks of any band. The blocks hold the bands also when
  // the poster runs the blend alone.
  for (int i = 0; i < count; ++i) {
    int64_t first = rows * i / count;
    int64_t end = rows * (i + 1) / count;
    fill(g_WorkerJobs[i], first, end);
    BandChunks& chunks = g_BandChunks[i];
    chunks.mFirstRow = first;
    chunks.mEndRow = end;
    chunks.mChunks = (end - first + kBandChunkRows - 1) / kBandChunkRows;
    chunks.mNext.store(0, std::memory_order_relaxed);
  }
  // Block 0 describes the whole blit but for its rows.
  const WorkerJob& blit = g_WorkerJobs[0];
  if (onPoster) {
    // Waking a worker costs more than a small blend: the poster runs it.
    RunBlendRows(blit, 0, rows);
    for (int i = 0; i < count; ++i) {
      g_WorkerJobs[i].mStatus = 0;
      g_WorkerJobs[i].mRan = true;
    }
    return;
  }
  g_SharedBands = count;
  for (int i = 0; i < count; ++i) PostWorkerJob(i);
  // While the workers wake, the poster takes unclaimed chunks too, from the
  // last band backwards; the workers begin with their own.
  for (int band = count - 1; band >= 0; --band) RunBandChunks(blit, band);
  TakeBackUnstartedJobs(count);
  WaitForWorkerJobs(count);
  g_SharedBands = 0;
}

// Claimed as the chunks of a blend are: every worker and the poster take
// parts until none is left.
void RunWorkerParts(int64_t parts, WorkerPartRoutine routine, void* context) {
  if (parts <= 0 || routine == nullptr) return;
  int count = std::min(g_StartedWorkers, static_cast<int>(std::min<int64_t>(parts, kMaxPixelWorkers)));
  if (count == 0 || parts == 1) {
    for (int64_t part = 0; part < parts; ++part) routine(context, part, kMaxPixelWorkers);
    return;
  }
  g_PartRun.mParts = parts;
  g_PartRun.mNext.store(0, std::memory_order_relaxed);
  for (int i = 0; i < count; ++i) {
    WorkerJob& job = g_WorkerJobs[i];
    job.mCode = JOB_PARTS;
    job.mPartRoutine = routine;
    job.mPartContext = context;
    job.mStatus = 0;
    PostWorkerJob(i);
  }
  WorkerJob poster;
  poster.mCode = JOB_PARTS;
  poster.mPartRoutine = routine;
  poster.mPartContext = context;
  RunPartsJob(poster, kMaxPixelWorkers);
  TakeBackUnstartedJobs(count);
  WaitForWorkerJobs(count);
  g_PartRun.mParts = 0;
}

int RunQcgJobs(int32_t code, uint8_t* pixels, size_t pixelBytes, const uint8_t* file, size_t fileBytes,
               size_t outBytes1, size_t storedBytes1, size_t outBytes2, size_t storedBytes2, int32_t width,
               int32_t height) {
  auto fill = [&](WorkerJob& job) {
    job.mCode = code;
    job.mOutBytes1 = outBytes1;
    job.mStoredBytes1 = storedBytes1;
    job.mOutBytes2 = outBytes2;
    job.mStoredBytes2 = storedBytes2;
    job.mImageWidth = width;
    job.mImageHeight = height;
    job.mPixelBlock = pixels;
    job.mPixelBlockBytes = pixelBytes;
    job.mFile = file;
    job.mFileBytes = fileBytes;
    job.mStatus = 0;
  };
  if (g_StartedWorkers > 1) {
    for (int i = 0; i < 2; ++i) {
      fill(g_WorkerJobs[i]);
      PostWorkerJob(i);
    }
    WaitForWorkerJobs(2);
    if (g_WorkerJobs[0].mStatus != 0 || !g_WorkerJobs[0].mRan) return 1;
    return g_WorkerJobs[1].mStatus != 0 || !g_WorkerJobs[1].mRan ? 2 : 0;
  }
  // One worker: the halves in turn here; a failed first half stops it.
  for (int i = 0; i < 2; ++i) {
    WorkerJob half;
    fill(half);
    RunWorkerJob(&half, i);
    if (half.mStatus != 0) return i + 1;
  }
  return 0;
}

void SetWorkerThreadStarter(WorkerThreadStarter starter) { g_ThreadStarter = starter; }
