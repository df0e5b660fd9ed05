#pragma once
// Script tasks: starting, ending and querying tasks, waits, the script-list
// query, and the context string that stores a task's position and stacks.
#include <cstddef>
#include <cstdint>

struct ExecutionContext;
struct ObjectTreeNode;

// The longest context string: 63 blocks, 63 calls, 63 loops and a 262-byte
// script name.
constexpr size_t kContextStringBytes = 4836;
constexpr size_t kMaxContextScriptName = 262;

int32_t CmdTaskStart();
int32_t CmdTaskEnd();
int32_t CmdTaskQuery();
int32_t CmdScriptListQuery();
int32_t CmdWait();

// Writes the context string (not terminated) into buffer
// (kContextStringBytes); its length, or -1 when either is null.
int32_t EncodeContextString(char* buffer, const ExecutionContext* context);
// Restores a context from a context string of `length` bytes: the bytes
// consumed; 0 after a fatal report (900000 for a malformed text, 102130 for
// a script name not in the script list), with the context unchanged; -1
// when either is null.
int32_t DecodeContextString(const char* text, size_t length, ExecutionContext* context);
// The same for a terminated text (a context string holds no zero byte).
int32_t DecodeContextString(const char* text, ExecutionContext* context);

// Ends a task: its node leaves the tree and is kept until the tasks are
// released.
void EndTaskNode(ObjectTreeNode* node);
// Frees the nodes and contexts of ended tasks.
void ReleaseEndedTasks();
