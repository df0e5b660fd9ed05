#pragma once
// A small structured assembler for compiled scripts: instructions by command
// name with arguments by name, expressions in postfix form, labels, and the
// block, loop and call structures with their branch targets and aux words
// filled in.
//
//   ScriptAssembler code(StandardCommandTable(), 0);
//   code.Label("SYSTEM_START");
//   code.If(Bin(Var(1000), Num(3), '='));
//   code.Op("assign", {{"target", Var(1001)}, {"value", Num(7)}});
//   code.EndIf();
//   code.End();
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/script_data_builder.h"

// A compiled expression: tokens of [opcode][u16 payload length][payload].
struct Expr {
  Bytes mBytes;
  bool mReal = false;  // holds a real constant: evaluated with real arithmetic
};
Expr Num(int64_t value);
Expr Real(double value);
// A string literal; the delimiter is chosen so that it does not occur in the
// text, and backslashes are doubled (double-byte characters stay whole).
Expr Str(const std::string& text);
// Variable value, or its reference with sigil '#' or '`'.
Expr Var(uint32_t number, char sigil = 0);
// An array element: "V" number, the subscripts, ")".
Expr Elem(uint32_t number, std::initializer_list<Expr> subscripts, char sigil = 0);
// The whole variable ("v").
Expr Whole(uint32_t number);
// left right op (postfix).
Expr Bin(const Expr& left, const Expr& right, char op);
Expr Neg(const Expr& value);
Expr ToStr(const Expr& value);
Expr ToNum(const Expr& value);
// One token written as given.
Expr Token(char opcode, const Bytes& payload = {});

// An argument by its declared name; value type 0 picks 1 (integer
// arithmetic) or 2 (real arithmetic) from the expression.
struct Arg {
  std::string mName;
  Expr mValue;
  uint8_t mOperator = 0;
  uint8_t mValueType = 0;
};

// Values passed by a call or a return: integers, reals and strings, by
// position (1-based in the script; absent ones may be skipped with
// std::nullopt-like gaps by passing an empty expression).
struct CallValues {
  std::vector<Expr> mInts;
  std::vector<Expr> mReals;
  std::vector<Expr> mStrings;
};
// The aux word of a call or return.
uint16_t EncodeCallAux(int ints, int reals, int strings);

class ScriptAssembler {
 public:
  ScriptAssembler(const std::vector<CommandDecl>& table, uint16_t scriptNumber);

  // An instruction by command name. Unknown commands or argument names
  // throw std::invalid_argument.
  ScriptAssembler& Op(const std::string& command, std::initializer_list<Arg> args = {}, uint16_t aux = 0);
  ScriptAssembler& Op(const std::string& command, const std::vector<Arg>& args, uint16_t aux = 0);
  // An instruction by number with raw arguments, for malformed scripts.
  ScriptAssembler& Raw(const RawInstruction& instruction);
  // The source line given to the next instructions (default: index + 1).
  ScriptAssembler& Line(int32_t line);

  ScriptAssembler& Label(const std::string& name);
  ScriptAssembler& If(const Expr& condition);
  ScriptAssembler& ElseIf(const Expr& condition);
  ScriptAssembler& Else();
  ScriptAssembler& EndIf();
  ScriptAssembler& BreakBlock(int64_t count = 1);
  ScriptAssembler& RepeatBlock(int64_t count = 1);
  ScriptAssembler& Loop(const Expr& limit);
  ScriptAssembler& EndLoop();
  ScriptAssembler& Break(int64_t count = 1);
  ScriptAssembler& Continue(int64_t count = 1);
  ScriptAssembler& Jump(const Expr& label);
  ScriptAssembler& Call(const Expr& label, const CallValues& values = {});
  ScriptAssembler& Return(const CallValues& values = {});
  // Ends the program (the end command).
  ScriptAssembler& End();

  int32_t Position() const { return static_cast<int32_t>(mCode.size()); }
  uint16_t ScriptNumber() const { return mScriptNumber; }
  // The instructions, with an end instruction appended when the last one
  // does not end the script (a jump, a return or the end command). Throws
  // when a block or loop is still open.
  std::vector<RawInstruction> Finish() const;
  const std::vector<LabelEntry>& Labels() const { return mLabels; }

 private:
  struct OpenBlock {
    int32_t mBegin;
    int32_t mPendingBranch;  // instruction whose "next branch" is not set yet (-1 none)
    std::vector<int32_t> mGotoEnds;
    bool mHasElse;
  };
  struct OpenLoop {
    int32_t mBegin;
  };
  RawArgument MakeArgument(uint8_t command, const Arg& arg) const;
  uint8_t CommandNumber(const std::string& name) const;
  int32_t Emit(uint8_t command, std::vector<RawArgument> args, uint16_t aux = 0);
  RawArgument Branch(uint8_t command, const std::string& name, uint32_t target) const;

  const std::vector<CommandDecl>& mTable;
  uint16_t mScriptNumber;
  std::vector<RawInstruction> mCode;
  std::vector<LabelEntry> mLabels;
  std::vector<OpenBlock> mBlocks;
  std::vector<OpenLoop> mLoops;
  int32_t mLine = 0;
};

// Adds an assembled script to the script data: its list entry (named
// "<name>"), its file and its labels.
void AddScript(ScriptData& data, const ScriptAssembler& code, const std::string& name);
