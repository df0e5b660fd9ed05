#pragma once
// A game of assembled scripts in a clean engine: the standard command table,
// tagged message texts, the system variables that script execution reads,
// and a frame step that runs the stepping passes as the shell does.
//
//   ScriptRunner game;
//   ScriptAssembler code = game.Script(0);
//   code.Label("SYSTEM_START");
//   ...
//   game.Add(code);
//   ASSERT_TRUE(game.Load());
//   game.Frame();
#include <cstdint>
#include <string>
#include <vector>

#include "core/message_ids.h"
#include "support/script_assembler.h"
#include "support/script_test_env.h"

// User variables the runner declares: integers, reals and strings, scalars
// and arrays (a 3 x 4 integer array among them).
enum : uint16_t {
  kRunInt = 1000,       // integer scalar
  kRunInt2 = 1001,      // integer scalar
  kRunIntArray = 1002,  // integer [3][4]
  kRunReal = 1003,      // real scalar
  kRunRealArray = 1004, // real [3]
  kRunText = 1005,      // string scalar
  kRunTextArray = 1006, // string [3]
  kRunIntList = 1007,   // integer [3]
  kRunFree = 1008,      // declared by scripts
};

class ScriptRunner {
 public:
  ScriptRunner();
  ScriptAssembler Script(uint16_t number) const;
  void Add(const ScriptAssembler& code, const std::string& name = "");
  // Writes the game, creates the object trees and loads the script data.
  bool Load();
  // One frame's stepping passes; false once the quit flag is set.
  bool Frame();
  // Runs frames until the quit flag is set or `limit` frames have run; the
  // number of frames run.
  int RunUntilQuit(int limit = 100);

  ScriptTestEnvironment mEnv;
  ScriptData mData;
};

struct LayerRecord;
// The layer (a leaf of the layer tree) at a path as scripts write it; null
// when there is none.
LayerRecord* FindScriptLayer(const char* path);

// The message ids the runner's message file tags.
const std::vector<MessageId>& RunnerMessageIds();
// True when the last report was message id.
bool LastReportIs(int32_t id);
bool LastReportIs(MessageId id);
// The last report's tag ("E<id>[a][b][c]" without the location), or "".
std::string LastReportTag();

int64_t IntVar(uint32_t n, int64_t e = 0);
double RealVar(uint32_t n, int64_t e = 0);
std::string TextVar(uint32_t n, int64_t e = 0);

// Evaluates expressions directly (outside any task).
int64_t EvalIntExpr(const Expr& expr);
double EvalRealExpr(const Expr& expr);
std::string EvalTextExpr(const Expr& expr, bool realArithmetic = false);
