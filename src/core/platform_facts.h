#pragma once
// Facts about the machine gathered once at start-up.
#include <cstdint>

extern uint8_t g_OsCode;
extern uint8_t g_ProcessorCount;
extern uint8_t g_WorkerCount;
extern int32_t g_DesktopWidth;
extern int32_t g_DesktopHeight;
extern int32_t g_DesktopBits;
extern int32_t g_DesktopRefresh;
extern int32_t g_DirectXVersion;

// The OS code of a Windows build number; 255 for any other build.
int GetOsCodeForBuild(uint32_t build);
// The OS code of this system. There is no Windows build here: 255, the code
// of a build newer than every threshold.
int GetOsCode();
// A refresh rate below 60 (including 0 and 1, "the hardware default") is -1.
int NormaliseRefreshRate(int rate);
// min(maximum workers, max(1, processors)).
uint8_t ComputeWorkerCount(uint8_t maxWorkers, uint8_t processors);
int DetectPlatform();
// The DirectX version: negative here, where there is none.
int GetDirectXVersion(int* major, int* minor, char* letter);

struct CpuInfo {
  bool mMmx = false;
  bool mSse = false;
  bool mSse2 = false;
  uint32_t mHighestExtendedLeaf = 0;
  char mBrand[49] = {};
};
CpuInfo GetCpuInfo();
// Gathers the start-up report of the machine; it keeps and writes nothing.
void WriteSystemReport();
