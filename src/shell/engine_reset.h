#pragma once
// One routine that brings the whole engine back to the state of a new
// process, so that tests can start the engine, or run its subsystems, one
// after another in one process.
//
// Each subsystem has one routine that brings all of its own state back:
//   shell     ResetShellState       (below)
//   render    ResetRenderState      render/render_reset.h
//   savedata  ResetSaveDataState    savedata/savedata_reset.h
//   sound     ResetSoundState       sound/sound_reset.h
//   image     ResetImageState       image/image_reset.h
//   movie     ResetMovieState       movie/movie_reset.h
//   script    ResetScriptState      script/script_reset.h (also the object trees)
//   oscmd     ResetOsCommandState   oscmd/oscmd_reset.h
//   layer     ResetLayerState       layer/layer_reset.h
//   datasrc   ResetDataSourceState  datasrc/datasrc_reset.h
//   core      ResetCoreState        core/core_reset.h
// New state belongs in the routine of the subsystem that owns it. Hooks that
// tests install (dialogs, clock, process start, step tracing, worker thread
// start) are not engine state and stay as they are.

// The shell's own state: the script thread ended, menus, the display state,
// the back buffer and the start-up values, the window objects and their
// system windows, the platform's video, window procedure and message queue,
// and the frame step's counters and clocks.
void ResetShellState();

// Every subsystem back to its start state: the script thread ends first, then
// each subsystem is released, the one started latest first, the core last.
void ResetEngineState();
