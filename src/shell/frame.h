#pragma once
// The frame step and frame pacing.
#include <cstdint>

#include "script/task_step.h"

extern int64_t g_FrameCounter;
extern uint8_t g_SkipDraw;
extern uint8_t g_PacingVerdict;
extern uint8_t g_FirstFrameShown;
extern int32_t g_FrameRate;
extern int32_t g_FrameSkip;
extern uint32_t g_FrameIntervalFixed;
extern uint32_t g_PaceNow;
extern uint32_t g_StepsThisSecond;
extern uint32_t g_DrawnThisSecond;
extern uint32_t g_ShownStepRate;
extern uint32_t g_ShownDrawRate;
extern uint32_t g_SecondStart;
extern uint8_t g_PausedByCloseQuestion;
extern uint8_t g_DrawDuringMovie;
extern uint8_t g_ScriptPaused;
extern int64_t g_ScriptPauseStart;

// One frame: 0 go on, non-zero the program must end.
uint8_t RunFrame();
// Sleeps out the frame; the verdict for the next frame (1 = skip drawing).
uint8_t PaceFrame();
void UpdateMenuStrip();
void CountPresentedFrame();
void BeginScriptPause();
void EndScriptPause();
// Adds the time paused since `start` to the pausable stopwatches.
void AddPausedTimeToStopwatches(uint32_t pausedMs);
// Back to the values of a new process.
void ResetFrameState();
