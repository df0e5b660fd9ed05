#include "core/platform_facts.h"

#include <algorithm>
#include <cstring>
#include <thread>
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "core/settings.h"
#include "platform/window.h"

uint8_t g_OsCode = 255;
uint8_t g_ProcessorCount = 1;
uint8_t g_WorkerCount = 1;
int32_t g_DesktopWidth = 0;
int32_t g_DesktopHeight = 0;
int32_t g_DesktopBits = 32;
int32_t g_DesktopRefresh = -1;
int32_t g_DirectXVersion = 0;

namespace {

struct OsCodeRow {
  uint8_t mCode;
  uint16_t mBuilds[9];
};

// Later rows win where a build repeats.
constexpr OsCodeRow kOsCodes[] = {
    {1, {950}},
    {2, {1111}},
    {3, {1212}},
    {4, {1214}},
    {12, {1057}},
    {13, {1381}},
    {20, {1998}},
    {21, {2222}},
    {30, {3000}},
    {40, {2195}},
    {45, {2211, 2223, 2239, 2247, 2250, 2257}},
    {50, {2600}},
    {60, {3790}},
    {65, {5219, 5260, 5270, 5381, 5384, 5536, 5568, 5600, 5743}},
    {70, {6000, 6001, 6002}},
    {80, {6801, 7000, 7100, 7600}},
    {90, {8158, 8250, 8375, 9200}},
    {91, {9374, 9600}},
};

}  // namespace

int GetOsCodeForBuild(uint32_t build) {
  int code = 255;
  uint16_t low = static_cast<uint16_t>(build & 0xFFFF);
  for (const OsCodeRow& row : kOsCodes) {
    for (uint16_t candidate : row.mBuilds) {
      if (candidate != 0 && candidate == low) code = row.mCode;
    }
  }
  return code;
}

int GetOsCode() { return 255; }

int NormaliseRefreshRate(int rate) { return rate < 60 ? -1 : rate; }

uint8_t ComputeWorkerCount(uint8_t maxWorkers, uint8_t processors) {
  return std::min<uint8_t>(maxWorkers, std::max<uint8_t>(1, processors));
}

int DetectPlatform() {
  g_OsCode = static_cast<uint8_t>(GetOsCode());
  unsigned processors = std::thread::hardware_concurrency();
  g_ProcessorCount = static_cast<uint8_t>(std::clamp(processors, 1u, 255u));
  g_WorkerCount = ComputeWorkerCount(g_MaxWorkers, g_ProcessorCount);
  DesktopFacts desktop;
  if (GetDesktopFacts(&desktop)) {
    g_DesktopWidth = desktop.mWidth;
    g_DesktopHeight = desktop.mHeight;
    g_DesktopBits = desktop.mBitsPerPixel;
    g_DesktopRefresh = NormaliseRefreshRate(desktop.mRefreshRate);
  } else {
    // Without a display the desktop is taken as a common full-HD screen.
    g_DesktopWidth = 1920;
    g_DesktopHeight = 1080;
    g_DesktopBits = 32;
    g_DesktopRefresh = -1;
  }
  return 0;
}

int GetDirectXVersion(int* major, int* minor, char* letter) {
  *major = 0;
  *minor = 0;
  *letter = '\0';
  return -1;
}

CpuInfo GetCpuInfo() {
  CpuInfo info;
#if defined(__x86_64__) || defined(__i386__)
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) != 0) {
    info.mMmx = (d & (1u << 23)) != 0;
    info.mSse = (d & (1u << 25)) != 0;
    info.mSse2 = (d & (1u << 26)) != 0;
  }
  info.mHighestExtendedLeaf = __get_cpuid_max(0x80000000u, nullptr);
  if (info.mHighestExtendedLeaf >= 0x80000004u) {
    unsigned words[12];
    for (unsigned leaf = 0; leaf < 3; ++leaf) {
      __get_cpuid(0x80000002u + leaf, &words[leaf * 4], &words[leaf * 4 + 1], &words[leaf * 4 + 2],
                  &words[leaf * 4 + 3]);
    }
    std::memcpy(info.mBrand, words, 48);
    info.mBrand[48] = '\0';
  }
#endif
  return info;
}

void WriteSystemReport() {
  // The report only gathers; nothing of it is kept or written, and no file of
  // the game folder is touched.
  (void)GetCpuInfo();
}
