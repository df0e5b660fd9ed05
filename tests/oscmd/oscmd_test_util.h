#pragma once
// Scripts for the OS command tests: a runner with extra arrays declared, a
// script body run to its end, and variable references.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/process_state.h"
#include "support/script_runner.h"

// Arrays the OS command tests declare beside the runner's own.
enum : uint16_t {
  kTexts = 1010,     // string [16]
  kNumbers = 1011,   // integer [16]
  kNumbers2 = 1012,  // integer [16]
  kReals = 1013,     // real [4]
  kTexts2 = 1014,    // string [16]
};

inline VariableDefinition DefineVariable(uint16_t variable, uint8_t type, std::vector<uint32_t> dims) {
  VariableDefinition definition;
  definition.mScope = 1;
  definition.mVariable = variable;
  definition.mType = type;
  definition.mDims = std::move(dims);
  if (type == 3) definition.mStringExpression = Str("").mBytes;
  return definition;
}

inline void DeclareTestArrays(ScriptRunner& game) {
  game.mData.mDefinitions.push_back(DefineVariable(kTexts, 3, {16}));
  game.mData.mDefinitions.push_back(DefineVariable(kNumbers, 1, {16}));
  game.mData.mDefinitions.push_back(DefineVariable(kNumbers2, 1, {16}));
  game.mData.mDefinitions.push_back(DefineVariable(kReals, 2, {4}));
  game.mData.mDefinitions.push_back(DefineVariable(kTexts2, 3, {16}));
}

// Declares the arrays, runs the body once and ends the program.
inline void RunScript(ScriptRunner& game, const std::function<void(ScriptAssembler&)>& body) {
  DeclareTestArrays(game);
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  body(code);
  code.Op("end");
  game.Add(code);
  ASSERT_TRUE(game.Load());
  game.RunUntilQuit();
}

inline void Assign(ScriptAssembler& code, const Expr& target, const Expr& value) {
  code.Op("assign", {{"target", target}, {"value", value}});
}

// A variable reference value: the variable in the high 32 bits, the first
// element in the low 32 bits.
inline int64_t VariableRef(uint32_t variable, uint32_t start = 0) {
  return static_cast<int64_t>((static_cast<uint64_t>(variable) << 32) | start);
}
