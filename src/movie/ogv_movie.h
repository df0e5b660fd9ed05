#pragma once
// Theora movies on layers: one movie at a time, read whole into memory,
// decoded by the Theora library (loaded when a movie opens, released when it
// stops) and copied into a layer by the frame step at 30 frames per second.
#include <cstdint>
#include <vector>

#include "platform/theora_lib.h"

struct ObjectTreeNode;

// The frame step picks the frame for the elapsed time at this rate.
constexpr uint32_t kOgvFramesPerSecond = 30;
// The largest picture side the frame buffer takes.
constexpr int32_t kOgvMaxSide = 8192;

struct OgvMovieState {
  TheoraVideo* mVideo = nullptr;
  TheoraAudio* mAudio = nullptr;
  // The whole movie file (std::malloc, owned here).
  uint8_t* mData = nullptr;
  uint32_t mDataSize = 0;
  // OGV_SX x OGV_SY pixels, pitch OGV_SX x 4, and the start of each row.
  uint8_t* mFrameBuffer = nullptr;
  std::vector<uint8_t*> mRows;
  int32_t OGV_SX = 1;
  int32_t OGV_SY = 1;
  // The size the library told; rows are handed out only while the frame
  // buffer has it.
  int32_t mToldWidth = 0;
  int32_t mToldHeight = 0;
  uint32_t mFrame = 0;
  int32_t mTotalFrames = 0;
  uint32_t mStartTime = 0;
  uint32_t mElapsed = 0;
  // The target layer. Deleting the layer clears it (ForgetOgvMovieLayer):
  // the movie then runs on without a picture.
  ObjectTreeNode* mLayer = nullptr;
  uint8_t mPlaying = 0;
};
extern OgvMovieState g_OgvMovie;
// The library's entry points while it is loaded; null otherwise.
extern const TheoraLibApi* g_TheoraApi;

// Loads the library afresh: 0, or -1 after the box for a missing library.
int BindTheoraLib();
void UnloadTheoraLib();
// Prepares the movie `name` (found through the data sources): 0, or -1 after
// a report or a box. A movie that was open is stopped first.
int OpenOgvMovie(const char* name);
// Gives the frame buffer the library's picture size: 0, or -1 after a box
// (a side of 0 or above kOgvMaxSide, or no memory), the buffer unchanged.
int ResizeOgvFrameBuffer(int32_t width, int32_t height);
// Decodes the current frame and copies it into the node's layer, clipped to
// the layer; nothing without a node.
void ShowOgvFrame(ObjectTreeNode* node);
// Frees the decoder handles, the frame buffer and the movie data and
// releases the library.
void StopOgvMovie();
// The frame step's part: picks the frame for the elapsed time and shows it,
// or ends the movie after its last frame. Nothing while no movie plays.
void TickOgvMovie();
// A layer node that is being deleted stops being the movie's target.
void ForgetOgvMovieLayer(const ObjectTreeNode* node);
// Back to no movie, the library released.
void ResetOgvMovie();
