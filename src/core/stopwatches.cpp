#include "core/stopwatches.h"

uint32_t g_StopwatchBase[kStopwatchCount];
uint8_t g_StopwatchPausable[kStopwatchCount] = {1, 1, 1, 1};
uint64_t g_StopwatchPauseStart[kStopwatchCount];
LocalTime g_StartTime;

uint32_t ReadStopwatch(int k) {
  if (k < 0 || k >= kStopwatchCount) return 0;
  uint32_t now = g_StopwatchPausable[k] != 0 ? GetTimeMs() : static_cast<uint32_t>(g_StopwatchPauseStart[k]);
  return now - g_StopwatchBase[k];
}

void ResetStopwatches() {
  for (int k = 0; k < kStopwatchCount; ++k) {
    g_StopwatchBase[k] = 0;
    g_StopwatchPausable[k] = 1;
    g_StopwatchPauseStart[k] = 0;
  }
  g_StartTime = LocalTime{};
}
