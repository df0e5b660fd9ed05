// The script engine's hot path: a counting loop with an assignment and a
// comparison, and a loop that builds and compares texts, each beside the
// same loop in Lua 5.4 when it is installed. The figure is the ratio of the
// two times measured in the same iteration.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdlib>

#include "core/object_path.h"
#include "core/object_tree.h"
#include "core/process_state.h"
#include "script/execution_context.h"
#include "script/variables.h"
#include "support/script_runner.h"

#if defined(ORVANE_HAVE_LUA)
#include <lua.hpp>
#endif

namespace {

// The machine is shared: both loops are timed by this thread's CPU time.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

constexpr int64_t kCountTo = 10000000;
constexpr int64_t kTextPasses = 1000000;

void Assign(ScriptAssembler& code, const Expr& target, const Expr& value) {
  code.Op("assign", {{"target", target}, {"value", value}});
}

// while i < 10000000 do x = x + i * 2; i = i + 1 end
void CountingLoop(ScriptAssembler& code) {
  code.Loop(Num(-1));
  code.If(Bin(Var(kRunInt), Num(kCountTo), 'Z'));
  code.Break();
  code.EndIf();
  Assign(code, Var(kRunInt2), Bin(Var(kRunInt2), Bin(Var(kRunInt), Num(2), '*'), '+'));
  Assign(code, Var(kRunInt), Bin(Var(kRunInt), Num(1), '+'));
  code.EndLoop();
}

// for i = 0, 999999: s = "abc" .. i; if s == "abc999999" then n = n + 1 end
void TextLoop(ScriptAssembler& code) {
  code.Loop(Num(kTextPasses));
  Assign(code, Var(kRunText), Bin(Str("abc"), ToStr(Var(kRunInt)), '+'));
  code.If(Bin(Var(kRunText), Str("abc999999"), '='));
  Assign(code, Var(kRunInt2), Bin(Var(kRunInt2), Num(1), '+'));
  code.EndIf();
  Assign(code, Var(kRunInt), Bin(Var(kRunInt), Num(1), '+'));
  code.EndLoop();
}

// A game whose main task runs one loop and ends; each run starts it over.
class LoopGame {
 public:
  explicit LoopGame(void (*body)(ScriptAssembler&)) {
    ScriptAssembler code = mGame.Script(0);
    code.Label("SYSTEM_START");
    body(code);
    code.Op("end");
    mGame.Add(code);
    if (!mGame.Load()) std::abort();
    mContext = static_cast<ExecutionContext*>(FindObjectByPath(g_TaskRoot, "SYSTEM", kPathLeaf)->mPayload);
    mStart = mContext->mPc;
  }
  // Seconds for one run.
  double Run() {
    SetNumberElement(kRunInt, 0, 0);
    SetNumberElement(kRunInt2, 0, 0);
    mContext->mPc = mStart;
    mContext->mLoopDepth = 0;
    mContext->mBlockDepth = 0;
    g_QuitFlag.store(0);
    double start = ThreadSeconds();
    mGame.Frame();
    return ThreadSeconds() - start;
  }

 private:
  ScriptRunner mGame;
  ExecutionContext* mContext = nullptr;
  int32_t mStart = 0;
};

#if defined(ORVANE_HAVE_LUA)
double RunLua(const char* program) {
  lua_State* state = luaL_newstate();
  luaL_openlibs(state);
  double start = ThreadSeconds();
  if (luaL_dostring(state, program) != LUA_OK) std::abort();
  double seconds = ThreadSeconds() - start;
  lua_close(state);
  return seconds;
}
#endif

void RunBeside(benchmark::State& state, void (*body)(ScriptAssembler&), const char* luaProgram,
               int64_t expectedCount, int64_t expectedSum) {
  LoopGame game(body);
  double ours = 0;
  double lua = 0;
  for (auto _ : state) {
    double seconds = game.Run();
    ours += seconds;
    state.SetIterationTime(seconds);
#if defined(ORVANE_HAVE_LUA)
    lua += RunLua(luaProgram);
#else
    (void)luaProgram;
#endif
  }
  if (IntVar(kRunInt) != expectedCount || IntVar(kRunInt2) != expectedSum) {
    state.SkipWithError("the script computed another result");
  }
  state.counters["script_s"] = ours / static_cast<double>(state.iterations());
  if (lua > 0) {
    state.counters["lua_s"] = lua / static_cast<double>(state.iterations());
    state.counters["ratio_to_lua"] = ours / lua;
  }
}

void BM_CountingLoop(benchmark::State& state) {
  RunBeside(state, CountingLoop,
            "local i, x = 0, 0 while i < 10000000 do x = x + i * 2; i = i + 1 end",
            kCountTo, (kCountTo - 1) * kCountTo);
}
BENCHMARK(BM_CountingLoop)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_TextLoop(benchmark::State& state) {
  RunBeside(state, TextLoop,
            "local n = 0 for i = 0, 999999 do local s = \"abc\" .. i if s == \"abc999999\" then n = n + 1 end end",
            kTextPasses, 1);
}
BENCHMARK(BM_TextLoop)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
