#pragma once
// Shared by the save data tests: a game whose script runs save and load
// instructions in phases, one phase per frame, and the variables the tests
// fill and compare.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/message_ids.h"
#include "script/variables.h"
#include "support/script_assembler.h"
#include "support/script_runner.h"

using SaveOp = std::pair<std::string, std::vector<Arg>>;
using SavePhase = std::vector<SaveOp>;

// Variables beside the runner's own (which are all of group 1).
enum : uint16_t {
  kGroupIntA = 1100,      // integer [4], group 2
  kGroupIntB = 1101,      // integer scalar, group 2
  kGroupText = 1102,      // string [2], group 2
  kOtherGroupInt = 1103,  // integer scalar, group 3
  kGroupRealA = 1104,     // real [2], group 2
};

inline VariableDefinition SaveTestDefine(uint16_t variable, uint8_t type, uint8_t group, std::vector<uint32_t> dims) {
  VariableDefinition definition;
  definition.mScope = 1;
  definition.mGroup = group;
  definition.mVariable = variable;
  definition.mType = type;
  definition.mDims = std::move(dims);
  if (type == 3) definition.mStringExpression = Str("").mBytes;
  return definition;
}

// Declares the extra variables and loads a script that runs each phase in
// its own frame (call game.Frame() once per phase).
inline bool LoadSavePhases(ScriptRunner& game, const std::vector<SavePhase>& phases) {
  game.mData.mDefinitions.push_back(SaveTestDefine(kGroupIntA, 1, 2, {4}));
  game.mData.mDefinitions.push_back(SaveTestDefine(kGroupIntB, 1, 2, {}));
  game.mData.mDefinitions.push_back(SaveTestDefine(kGroupText, 3, 2, {2}));
  game.mData.mDefinitions.push_back(SaveTestDefine(kOtherGroupInt, 1, 3, {}));
  game.mData.mDefinitions.push_back(SaveTestDefine(kGroupRealA, 2, 2, {2}));
  ScriptAssembler code = game.Script(0);
  code.Label("SYSTEM_START");
  for (const SavePhase& phase : phases) {
    for (const SaveOp& op : phase) code.Op(op.first, op.second);
    code.Op("wait", {{"frames", Num(1)}});
  }
  game.Add(code);
  return game.Load();
}

// Fills the variables with values that depend on the seed.
inline void FillSaveVariables(int64_t seed) {
  SetNumberElement(kRunInt, 0, seed * 7 + 1);
  SetNumberElement(kRunInt2, 0, -seed);
  for (int i = 0; i < 12; ++i) SetNumberElement(kRunIntArray, i, seed * 100 + i);
  SetRealElement(kRunReal, 0, 0.5 + static_cast<double>(seed));
  for (int i = 0; i < 3; ++i) SetRealElement(kRunRealArray, i, -1.25 * static_cast<double>(seed + i));
  SetStringElement(kRunText, 0, ("text " + std::to_string(seed)).c_str());
  for (int i = 0; i < 3; ++i) {
    std::string text(static_cast<size_t>(i + 1), static_cast<char>('a' + i));
    SetStringElement(kRunTextArray, i, (text + std::to_string(seed)).c_str());
  }
  for (int i = 0; i < 3; ++i) SetNumberElement(kRunIntList, i, seed - i);
  for (int i = 0; i < 4; ++i) SetNumberElement(kGroupIntA, i, seed * 3 + i);
  SetNumberElement(kGroupIntB, 0, seed + 42);
  SetStringElement(kGroupText, 0, ("g" + std::to_string(seed)).c_str());
  SetStringElement(kGroupText, 1, "");
  SetNumberElement(kOtherGroupInt, 0, seed + 9);
  SetRealElement(kGroupRealA, 0, static_cast<double>(seed) / 4);
  SetRealElement(kGroupRealA, 1, -static_cast<double>(seed));
}

// The values of one variable as a text.
inline std::string ValuesOf(uint32_t n) {
  std::ostringstream out;
  const VariableRecord* record = FindVariableRecord(n);
  for (int64_t i = 0; record != nullptr && i < record->mCount; ++i) {
    if (record->mVarType == kVarString) out << '"' << TextVar(n, i) << '"';
    else if (record->mVarType == kVarReal) out << RealVar(n, i);
    else out << IntVar(n, i);
    out << ",";
  }
  return out.str();
}

inline constexpr uint32_t kSaveTestVariables[] = {kRunInt,     kRunInt2,       kRunIntArray, kRunReal,
                                                  kRunRealArray, kRunText,     kRunTextArray, kRunIntList,
                                                  kGroupIntA,  kGroupIntB,     kGroupText,   kOtherGroupInt,
                                                  kGroupRealA};

// Every test variable's values by number.
inline std::map<uint32_t, std::string> VariableValues() {
  std::map<uint32_t, std::string> values;
  for (uint32_t n : kSaveTestVariables) values[n] = ValuesOf(n);
  return values;
}

// Every test variable's values as one text, to compare whole states.
inline std::string VariableState() {
  std::string all;
  for (uint32_t n : kSaveTestVariables) all += std::to_string(n) + ":" + ValuesOf(n) + ";";
  return all;
}

// The files of the game folder's save folder ("save/").
inline std::vector<uint8_t> ReadSaveBytes(const std::string& name) {
  std::ifstream file("save/" + name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}
inline void WriteSaveBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories("save");
  std::ofstream file("save/" + name, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
