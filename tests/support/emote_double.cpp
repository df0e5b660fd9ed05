#include "support/emote_double.h"

#include <initializer_list>
#include <stdexcept>

#include "movie/emote.h"

namespace {

EmoteRuntimeDouble* g_Runtime = nullptr;

// Handles are addresses inside this block: distinct, stable and never
// dereferenced by the engine.
char g_HandleSpace[4096];
int g_NextHandle = 0;

void* NewHandle() {
  g_NextHandle = (g_NextHandle + 1) % static_cast<int>(sizeof g_HandleSpace);
  return &g_HandleSpace[g_NextHandle];
}

EmoteCall& Record(int ordinal, void* target) {
  EmoteCall call;
  call.mOrdinal = ordinal;
  call.mTarget = target;
  g_Runtime->mCalls.push_back(call);
  return g_Runtime->mCalls.back();
}

// A call on a player: counts it when the player is not alive.
EmoteCall& RecordPlayer(int ordinal, void* player) {
  if (g_Runtime->mLivePlayers.count(player) == 0) g_Runtime->mBadTargets += 1;
  return Record(ordinal, player);
}

void* CreateDriver(EmoteDriverParams* params) {
  EmoteCall& call = Record(2, nullptr);
  call.mDevice = params != nullptr ? params->mDevice : nullptr;
  if (params == nullptr || params->mReserved1 != nullptr || params->mReserved2 != nullptr) g_Runtime->mBadTargets += 1;
  if (g_Runtime->mFailDriver) return nullptr;
  g_Runtime->mDriver = NewHandle();
  return g_Runtime->mDriver;
}

void DestroyDriver(void* driver) {
  Record(102, driver);
  if (driver == nullptr || driver != g_Runtime->mDriver) g_Runtime->mBadTargets += 1;
  g_Runtime->mDriver = nullptr;
}

void StartDriver(void* driver, int32_t zero) {
  Record(110, driver).mInts = {zero};
  if (driver == nullptr || driver != g_Runtime->mDriver) g_Runtime->mBadTargets += 1;
}

void CreatePlayer(void* driver, const void* data, uint32_t size, void** player) {
  EmoteCall& call = Record(119, driver);
  call.mDataSize = size;
  if (driver == nullptr || driver != g_Runtime->mDriver || data == nullptr || player == nullptr) {
    g_Runtime->mBadTargets += 1;
    return;
  }
  if (g_Runtime->mFailPlayer) {
    *player = nullptr;
    return;
  }
  *player = NewHandle();
  g_Runtime->mLivePlayers.insert(*player);
  g_Runtime->mPlayersMade += 1;
}

void DestroyPlayer(void* player) {
  RecordPlayer(202, player);
  g_Runtime->mLivePlayers.erase(player);
}

void PlayerOnly(int ordinal, void* player) { RecordPlayer(ordinal, player); }
void StartPlayer(void* player) { PlayerOnly(205, player); }
void Call236(void* player) { PlayerOnly(236, player); }
void Call253(void* player) { PlayerOnly(253, player); }

void Floats(int ordinal, void* player, std::initializer_list<float> values) {
  RecordPlayer(ordinal, player).mFloats.assign(values);
}
void SetValue214(void* player, float value) { Floats(214, player, {value}); }
void SetValue216(void* player, float value) { Floats(216, player, {value}); }
void SetValue218(void* player, float value) { Floats(218, player, {value}); }
void SetPosition(void* player, float x, float y, float a, float b) { Floats(220, player, {x, y, a, b}); }
void SetScale(void* player, float scale, float a, float b) { Floats(222, player, {scale, a, b}); }
void SetRotation(void* player, float radians, float a, float b) { Floats(224, player, {radians, a, b}); }
void Call235(void* player, float a, float b, float c, float d, float e) { Floats(235, player, {a, b, c, d, e}); }
void Progress(void* player, float time) { Floats(254, player, {time}); }

void Text(EmoteCall& call, const char* text) {
  if (text == nullptr) return;
  call.mHasText = true;
  call.mText = text;
}

void SetVariable(void* player, const char* name, float value, float time, float zero) {
  EmoteCall& call = RecordPlayer(233, player);
  Text(call, name);
  call.mFloats = {value, time, zero};
}

void PlayMotion(void* player, const char* name, int32_t flags) {
  EmoteCall& call = RecordPlayer(245, player);
  Text(call, name);
  call.mInts = {flags};
}

uint8_t IsTimelinePlaying(void* player, const char* name) {
  Text(RecordPlayer(246, player), name);
  return g_Runtime->mTimelinePlaying.count(player) != 0 ? 1 : 0;
}

void SendText(void* player, const char* text) { Text(RecordPlayer(247, player), text); }

uint8_t IsAnimating(void* player) {
  RecordPlayer(255, player);
  return g_Runtime->mAnimating.count(player) != 0 ? 1 : 0;
}

void Render(void* player) {
  RecordPlayer(256, player);
  if (g_Runtime->mOnRender) g_Runtime->mOnRender(player);
}

}  // namespace

EmoteRuntimeDouble::EmoteRuntimeDouble(bool enable) {
  if (g_Runtime != nullptr) throw std::logic_error("one E-mote runtime double at a time");
  g_Runtime = this;
  g_EmoteApi = EmoteApi{};
  g_EmoteApi.mCreateDriver = CreateDriver;
  g_EmoteApi.mDestroyDriver = DestroyDriver;
  g_EmoteApi.mStartDriver = StartDriver;
  g_EmoteApi.mCreatePlayer = CreatePlayer;
  g_EmoteApi.mDestroyPlayer = DestroyPlayer;
  g_EmoteApi.mStartPlayer = StartPlayer;
  g_EmoteApi.mSetValue214 = SetValue214;
  g_EmoteApi.mSetValue216 = SetValue216;
  g_EmoteApi.mSetValue218 = SetValue218;
  g_EmoteApi.mSetPosition = SetPosition;
  g_EmoteApi.mSetScale = SetScale;
  g_EmoteApi.mSetRotation = SetRotation;
  g_EmoteApi.mSetVariable = SetVariable;
  g_EmoteApi.mCall235 = Call235;
  g_EmoteApi.mCall236 = Call236;
  g_EmoteApi.mPlayMotion = PlayMotion;
  g_EmoteApi.mIsTimelinePlaying = IsTimelinePlaying;
  g_EmoteApi.mSendText = SendText;
  g_EmoteApi.mCall253 = Call253;
  g_EmoteApi.mProgress = Progress;
  g_EmoteApi.mIsAnimating = IsAnimating;
  g_EmoteApi.mRender = Render;
  if (enable) g_EmoteEnabled = 1;
}

EmoteRuntimeDouble::~EmoteRuntimeDouble() {
  g_EmoteApi = EmoteApi{};
  g_EmoteEnabled = 0;
  g_Runtime = nullptr;
}

std::vector<int> EmoteRuntimeDouble::Ordinals() const {
  std::vector<int> ordinals;
  for (const EmoteCall& call : mCalls) ordinals.push_back(call.mOrdinal);
  return ordinals;
}

std::vector<EmoteCall> EmoteRuntimeDouble::CallsTo(int ordinal) const {
  std::vector<EmoteCall> calls;
  for (const EmoteCall& call : mCalls) {
    if (call.mOrdinal == ordinal) calls.push_back(call);
  }
  return calls;
}

std::vector<std::pair<std::string, float>> EmoteRuntimeDouble::Pairs() const {
  std::vector<std::pair<std::string, float>> pairs;
  for (const EmoteCall& call : CallsTo(233)) pairs.emplace_back(call.mText, call.mFloats.at(0));
  return pairs;
}
