#pragma once
// A stand-in for the E-mote runtime: while one exists it is bound into
// g_EmoteApi, records every call the engine makes (ordinal, target, float
// and integer arguments, texts as the bytes received), hands out player
// handles and answers the animation queries as the test sets them.
//
//   EmoteRuntimeDouble runtime;        // bound, g_EmoteEnabled = 1
//   ASSERT_EQ(InitEmoteDriver(), 0);
//   ... EXPECT_EQ(runtime.Ordinals(), (std::vector<int>{2, 110}));
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct EmoteCall {
  int mOrdinal = 0;
  void* mTarget = nullptr;  // the player or driver the call names
  std::vector<float> mFloats;
  std::vector<int64_t> mInts;
  bool mHasText = false;
  std::string mText;         // UTF-8 as received
  uint32_t mDataSize = 0;    // ordinal 119
  void* mDevice = nullptr;   // ordinal 2: the device in its parameters
};

class EmoteRuntimeDouble {
 public:
  // Binds itself and switches E-mote on; only one may exist at a time.
  explicit EmoteRuntimeDouble(bool enable = true);
  // Unbinds and switches E-mote off again.
  ~EmoteRuntimeDouble();
  EmoteRuntimeDouble(const EmoteRuntimeDouble&) = delete;
  EmoteRuntimeDouble& operator=(const EmoteRuntimeDouble&) = delete;

  // The ordinals called, in order.
  std::vector<int> Ordinals() const;
  // The calls of one ordinal, in order.
  std::vector<EmoteCall> CallsTo(int ordinal) const;
  // The (name, value) pairs and times of every ordinal 233 call, in order.
  std::vector<std::pair<std::string, float>> Pairs() const;
  void ClearCalls() { mCalls.clear(); }

  // What the runtime answers.
  bool mFailDriver = false;  // ordinal 2 gives no driver
  bool mFailPlayer = false;  // ordinal 119 gives no player
  std::set<void*> mAnimating;        // ordinal 255 answers 1 for these
  std::set<void*> mTimelinePlaying;  // ordinal 246 answers 1 for these
  // Runs inside ordinal 256, to look at the device while the model draws.
  std::function<void(void* player)> mOnRender;

  std::vector<EmoteCall> mCalls;
  std::set<void*> mLivePlayers;
  void* mDriver = nullptr;  // the live driver, null when none
  // Calls naming a player or driver that is not alive (destroyed twice,
  // used after destruction, never made).
  int mBadTargets = 0;
  int mPlayersMade = 0;
};
