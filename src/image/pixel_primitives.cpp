#include "image/pixel_primitives.h"

#include <cstdlib>

#include "core/settings.h"
#include "image/pixel_primitives_internal.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

uint8_t g_CpuFeatures[kCpuFeatureCount];
int g_PixelLevel = 1;
int32_t g_RuleWeightTable[256];
PixelPrimitiveTable g_PixelPrimitives = GetVectorPrimitives(1, 16);

void DetectCpuFeatures() {
  for (uint8_t& feature : g_CpuFeatures) feature = 0;
#if defined(__x86_64__) || defined(__i386__)
  // Every processor that runs this build has the CPUID instruction.
  unsigned eax = 0;
  unsigned ebx = 0;
  unsigned ecx = 0;
  unsigned edx = 0;
  if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) && eax >= 1) {
    __cpuid(1, eax, ebx, ecx, edx);
    g_CpuFeatures[kCpuMmx] = (edx >> 23) & 1;
    g_CpuFeatures[kCpuSse] = (edx >> 25) & 1;
    g_CpuFeatures[kCpuSse2] = (edx >> 26) & 1;
    g_CpuFeatures[kCpuSse3] = ecx & 1;
    g_CpuFeatures[kCpuSsse3] = (ecx >> 9) & 1;
    g_CpuFeatures[kCpuSse41] = (ecx >> 19) & 1;
    g_CpuFeatures[kCpuSse42] = (ecx >> 20) & 1;
  }
  __cpuid(0x80000000u, eax, ebx, ecx, edx);
  if (eax > 0x80000000u) {
    __cpuid(0x80000001u, eax, ebx, ecx, edx);
    g_CpuFeatures[kCpu3dNow] = (edx >> 31) & 1;
    g_CpuFeatures[kCpu3dNowExt] = (edx >> 30) & 1;
    g_CpuFeatures[kCpuSse4a] = (ecx >> 6) & 1;
    g_CpuFeatures[kCpuExtEcx11] = (ecx >> 11) & 1;
  }
#endif
}

void InitPixelPrimitives() {
  DetectCpuFeatures();
  int level = 1;
  if (g_CpuFeatures[kCpuSse] != 0 && g_AllowSse != 0) level = 2;
  if (g_CpuFeatures[kCpuSse2] != 0 && g_AllowSse2 != 0) level = 3;
  g_PixelLevel = level;
  g_PixelPrimitives = GetPixelPrimitives(level);
}

const PixelPrimitiveTable& GetPixelPrimitives(int level) { return GetVectorPrimitives(level, 64); }
