#include "script/execution_context.h"

#include <cstdlib>

#include "core/errors.h"
#include "core/object_tree.h"

namespace {

template <typename Frame>
Frame* Ensure(Frame** frames, int entry) {
  if (entry < 1 || entry > kStackEntries) return nullptr;
  if (frames[entry] == nullptr) {
    frames[entry] = static_cast<Frame*>(std::calloc(1, sizeof(Frame)));
    if (frames[entry] == nullptr) ReportError(kMsgOutOfMemory);
  }
  return frames[entry];
}

}  // namespace

BlockFrame* AllocateBlockFrame(ExecutionContext* context, int entry) { return Ensure(context->mBlockFrames, entry); }
LoopFrame* AllocateLoopFrame(ExecutionContext* context, int entry) { return Ensure(context->mLoopFrames, entry); }
CallFrame* AllocateCallFrame(ExecutionContext* context, int entry) { return Ensure(context->mCallFrames, entry); }

ExecutionContext* CreateExecutionContext(ObjectTreeNode* node) {
  if (node == nullptr) return nullptr;
  auto* context = static_cast<ExecutionContext*>(std::calloc(1, sizeof(ExecutionContext)));
  if (context == nullptr) {
    ReportError(kMsgOutOfMemory);
    return nullptr;
  }
  if (EnsureBlockFrame(context, 1) == nullptr || EnsureCallFrame(context, 1) == nullptr ||
      EnsureLoopFrame(context, 1) == nullptr) {
    ReleaseExecutionContext(context);
    return nullptr;
  }
  context->mEnable1 = 1;
  context->mEnable2 = 1;
  node->mPayload = context;
  return context;
}

void ReleaseExecutionContext(ExecutionContext* context) {
  if (context == nullptr) return;
  for (int entry = 0; entry <= kStackEntries; ++entry) {
    std::free(context->mBlockFrames[entry]);
    std::free(context->mLoopFrames[entry]);
    CallFrame* frame = context->mCallFrames[entry];
    if (frame != nullptr) {
      for (int value = 0; value < kCallValues; ++value) {
        std::free(frame->mStringArgs[value]);
        std::free(frame->mStringResults[value]);
      }
      std::free(frame);
    }
  }
  for (char* text : context->mStringLocals) std::free(text);
  std::free(context);
}
