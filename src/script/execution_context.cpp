#include "script/execution_context.h"

#include <cstdlib>

#include "core/errors.h"
#include "core/object_tree.h"

ExecutionContext* CreateExecutionContext(ObjectTreeNode* node) {
  if (node == nullptr) return nullptr;
  auto* context = static_cast<ExecutionContext*>(std::calloc(1, sizeof(ExecutionContext)));
  if (context == nullptr) {
    ReportError(100010, 1);
    return nullptr;
  }
  context->mEnable1 = 1;
  context->mEnable2 = 1;
  node->mPayload = context;
  return context;
}

void ReleaseExecutionContext(ExecutionContext* context) { std::free(context); }
