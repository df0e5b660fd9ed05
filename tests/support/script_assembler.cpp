#include "support/script_assembler.h"

#include <limits>
#include <stdexcept>

#include "core/sjis.h"

namespace {

void PutToken(Bytes& out, char opcode, const Bytes& payload) {
  if (payload.size() > 0xFFFF) throw std::invalid_argument("expression token too long");
  out.push_back(static_cast<uint8_t>(opcode));
  out.push_back(static_cast<uint8_t>(payload.size()));
  out.push_back(static_cast<uint8_t>(payload.size() >> 8));
  out.insert(out.end(), payload.begin(), payload.end());
}

Expr Join(std::initializer_list<const Expr*> parts) {
  Expr result;
  for (const Expr* part : parts) {
    result.mBytes.insert(result.mBytes.end(), part->mBytes.begin(), part->mBytes.end());
    result.mReal = result.mReal || part->mReal;
  }
  return result;
}

Expr VariableToken(char opcode, uint32_t number, char sigil) {
  if (number > 0xFFFF) throw std::invalid_argument("variable numbers are 16-bit");
  return Token(opcode, ByteWriter().U8(sigil == 0 ? ' ' : static_cast<uint8_t>(sigil)).U16(number).mBytes);
}

}  // namespace

Expr Token(char opcode, const Bytes& payload) {
  Expr expr;
  PutToken(expr.mBytes, opcode, payload);
  return expr;
}

Expr Num(int64_t value) {
  auto bits = static_cast<uint32_t>(value);
  if (value >= -128 && value <= 127) return Token('B', ByteWriter().U8(bits).mBytes);
  if (value >= -32768 && value <= 32767) return Token('W', ByteWriter().U16(bits).mBytes);
  if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max()) {
    return Token('I', ByteWriter().U32(bits).mBytes);
  }
  return Token('L', ByteWriter().I64(value).mBytes);
}

Expr Real(double value) {
  Expr expr = Token('F', ByteWriter().F64(value).mBytes);
  expr.mReal = true;
  return expr;
}

Expr Str(const std::string& text) {
  // The delimiter must not occur in the text outside double-byte characters.
  static constexpr char kDelimiters[] = {'"', '\'', '`', '|', '#', '~', '\x01'};
  char delimiter = 0;
  for (char candidate : kDelimiters) {
    bool used = false;
    for (size_t index = 0; index < text.size();) {
      size_t length = SjisCharLength(text, index);
      used = used || (length == 1 && text[index] == candidate);
      index += length;
    }
    if (!used) {
      delimiter = candidate;
      break;
    }
  }
  if (delimiter == 0) throw std::invalid_argument("no delimiter left for the string literal");
  Bytes payload{static_cast<uint8_t>(delimiter)};
  for (size_t index = 0; index < text.size();) {
    size_t length = SjisCharLength(text, index);
    if (length == 1 && text[index] == '\\') payload.push_back('\\');
    payload.insert(payload.end(), text.begin() + static_cast<std::ptrdiff_t>(index),
                   text.begin() + static_cast<std::ptrdiff_t>(index + length));
    index += length;
  }
  payload.push_back(static_cast<uint8_t>(delimiter));
  return Token('M', payload);
}

Expr Var(uint32_t number, char sigil) { return VariableToken('H', number, sigil); }

Expr Elem(uint32_t number, std::initializer_list<Expr> subscripts, char sigil) {
  Expr result = VariableToken('V', number, sigil);
  for (const Expr& subscript : subscripts) result = Join({&result, &subscript});
  Expr close = Token(')');
  return Join({&result, &close});
}

Expr Whole(uint32_t number) { return VariableToken('v', number, 0); }

Expr Bin(const Expr& left, const Expr& right, char op) {
  Expr token = Token(op);
  return Join({&left, &right, &token});
}

Expr Neg(const Expr& value) {
  Expr token = Token('R');
  return Join({&value, &token});
}

Expr ToStr(const Expr& value) {
  Expr token = Token('s');
  return Join({&value, &token});
}

Expr ToNum(const Expr& value) {
  Expr token = Token('i');
  return Join({&value, &token});
}

uint16_t EncodeCallAux(int ints, int reals, int strings) {
  if (ints < 0 || ints > 31 || reals < 0 || reals > 31 || strings < 0 || strings > 31) {
    throw std::invalid_argument("call counts are 5-bit");
  }
  return static_cast<uint16_t>(((ints & 0x1F) << 3) | ((reals / 4) & 0x7) | ((reals % 4) << 14) |
                               ((strings & 0x1F) << 9));
}

ScriptAssembler::ScriptAssembler(const std::vector<CommandDecl>& table, uint16_t scriptNumber)
    : mTable(table), mScriptNumber(scriptNumber) {}

uint8_t ScriptAssembler::CommandNumber(const std::string& name) const {
  for (size_t number = 0; number < mTable.size(); ++number) {
    if (mTable[number].mName == name) return static_cast<uint8_t>(number);
  }
  throw std::invalid_argument("unknown command " + name);
}

RawArgument ScriptAssembler::MakeArgument(uint8_t command, const Arg& arg) const {
  const CommandDecl& declaration = mTable.at(command);
  for (size_t id = 0; id < declaration.mArgs.size(); ++id) {
    if (declaration.mArgs[id].mName != arg.mName) continue;
    RawArgument raw;
    raw.mId = static_cast<uint8_t>(id);
    raw.mOperator = arg.mOperator;
    raw.mValueType = arg.mValueType != 0 ? arg.mValueType : (arg.mValue.mReal ? 2 : 1);
    raw.mExpression = arg.mValue.mBytes;
    return raw;
  }
  throw std::invalid_argument("command " + declaration.mName + " has no argument " + arg.mName);
}

RawArgument ScriptAssembler::Branch(uint8_t command, const std::string& name, uint32_t target) const {
  RawArgument raw = MakeArgument(command, {name, Expr{}});
  raw.mExpression.clear();
  raw.mBranchTarget = target;
  return raw;
}

int32_t ScriptAssembler::Emit(uint8_t command, std::vector<RawArgument> args, uint16_t aux) {
  RawInstruction instruction;
  instruction.mCommand = command;
  instruction.mAux = aux;
  instruction.mArgs = std::move(args);
  instruction.mLine = mLine != 0 ? mLine : Position() + 1;
  mCode.push_back(std::move(instruction));
  return Position() - 1;
}

ScriptAssembler& ScriptAssembler::Op(const std::string& command, std::initializer_list<Arg> args, uint16_t aux) {
  return Op(command, std::vector<Arg>(args), aux);
}

ScriptAssembler& ScriptAssembler::Op(const std::string& command, const std::vector<Arg>& args, uint16_t aux) {
  uint8_t number = CommandNumber(command);
  std::vector<RawArgument> raw;
  for (const Arg& arg : args) raw.push_back(MakeArgument(number, arg));
  Emit(number, std::move(raw), aux);
  return *this;
}

ScriptAssembler& ScriptAssembler::Raw(const RawInstruction& instruction) {
  mCode.push_back(instruction);
  if (mCode.back().mLine == 0) mCode.back().mLine = Position();
  return *this;
}

ScriptAssembler& ScriptAssembler::Line(int32_t line) {
  mLine = line;
  return *this;
}

ScriptAssembler& ScriptAssembler::Label(const std::string& name) {
  LabelEntry label;
  label.mName = name;
  label.mPosition = static_cast<uint32_t>(Position());
  label.mScript = mScriptNumber;
  label.mBlockDepth = static_cast<uint8_t>(mBlocks.size());
  label.mLoopDepth = static_cast<uint8_t>(mLoops.size());
  mLabels.push_back(label);
  return *this;
}

ScriptAssembler& ScriptAssembler::If(const Expr& condition) {
  uint8_t command = CommandNumber("if");
  std::vector<RawArgument> args{MakeArgument(command, {"cond", condition}), Branch(command, "next", 0),
                                Branch(command, "end", 0)};
  int32_t begin = Emit(command, std::move(args));
  mBlocks.push_back({begin, begin, {}, false});
  return *this;
}

ScriptAssembler& ScriptAssembler::ElseIf(const Expr& condition) {
  if (mBlocks.empty() || mBlocks.back().mHasElse) throw std::logic_error("elseif without an open if");
  OpenBlock& block = mBlocks.back();
  block.mGotoEnds.push_back(Emit(CommandNumber("goto_end"), {}));
  uint8_t command = CommandNumber("else");
  int32_t branch = Emit(command, {MakeArgument(command, {"cond", condition}), Branch(command, "next", 0)});
  mCode[block.mPendingBranch].mArgs[1].mBranchTarget = static_cast<uint32_t>(branch);
  block.mPendingBranch = branch;
  return *this;
}

ScriptAssembler& ScriptAssembler::Else() {
  if (mBlocks.empty() || mBlocks.back().mHasElse) throw std::logic_error("else without an open if");
  OpenBlock& block = mBlocks.back();
  block.mGotoEnds.push_back(Emit(CommandNumber("goto_end"), {}));
  int32_t branch = Emit(CommandNumber("else"), {});
  mCode[block.mPendingBranch].mArgs[1].mBranchTarget = static_cast<uint32_t>(branch);
  block.mPendingBranch = -1;
  block.mHasElse = true;
  return *this;
}

ScriptAssembler& ScriptAssembler::EndIf() {
  if (mBlocks.empty()) throw std::logic_error("endif without an open if");
  OpenBlock block = mBlocks.back();
  mBlocks.pop_back();
  auto end = static_cast<uint32_t>(Emit(CommandNumber("endif"), {}));
  // A condition that fails with no later branch goes to the end.
  if (block.mPendingBranch >= 0) mCode[block.mPendingBranch].mArgs[1].mBranchTarget = 0;
  mCode[block.mBegin].mArgs[2].mBranchTarget = end;
  return *this;
}

ScriptAssembler& ScriptAssembler::BreakBlock(int64_t count) { return Op("block_break", {{"count", Num(count)}}); }
ScriptAssembler& ScriptAssembler::RepeatBlock(int64_t count) { return Op("block_repeat", {{"count", Num(count)}}); }

ScriptAssembler& ScriptAssembler::Loop(const Expr& limit) {
  uint8_t command = CommandNumber("loop");
  int32_t begin = Emit(command, {MakeArgument(command, {"limit", limit}), Branch(command, "end", 0)});
  mLoops.push_back({begin});
  return *this;
}

ScriptAssembler& ScriptAssembler::EndLoop() {
  if (mLoops.empty()) throw std::logic_error("endloop without an open loop");
  OpenLoop loop = mLoops.back();
  mLoops.pop_back();
  auto end = static_cast<uint32_t>(Emit(CommandNumber("endloop"), {}));
  mCode[loop.mBegin].mArgs[1].mBranchTarget = end;
  return *this;
}

ScriptAssembler& ScriptAssembler::Break(int64_t count) { return Op("break", {{"count", Num(count)}}); }
ScriptAssembler& ScriptAssembler::Continue(int64_t count) { return Op("continue", {{"count", Num(count)}}); }
ScriptAssembler& ScriptAssembler::Jump(const Expr& label) { return Op("jump", {{"label", label}}); }

namespace {

// The arguments i1.., r1.. and s1.. of the values given, after `args`.
std::vector<Arg> CallArguments(std::vector<Arg> args, const CallValues& values) {
  auto add = [&args](const std::vector<Expr>& list, const char* prefix, uint8_t type) {
    for (size_t index = 0; index < list.size(); ++index) {
      if (list[index].mBytes.empty()) continue;  // an omitted value
      args.push_back({prefix + std::to_string(index + 1), list[index], 0, type});
    }
  };
  add(values.mInts, "i", 0);
  add(values.mReals, "r", 2);
  add(values.mStrings, "s", 0);
  return args;
}

uint16_t CallAux(const CallValues& values) {
  return EncodeCallAux(static_cast<int>(values.mInts.size()), static_cast<int>(values.mReals.size()),
                       static_cast<int>(values.mStrings.size()));
}

}  // namespace

ScriptAssembler& ScriptAssembler::Call(const Expr& label, const CallValues& values) {
  return Op("call", CallArguments({{"label", label}}, values), CallAux(values));
}

ScriptAssembler& ScriptAssembler::Return(const CallValues& values) {
  return Op("return", CallArguments({}, values), CallAux(values));
}

ScriptAssembler& ScriptAssembler::End() { return Op("end"); }

std::vector<RawInstruction> ScriptAssembler::Finish() const {
  if (!mBlocks.empty() || !mLoops.empty()) throw std::logic_error("a block or loop is still open");
  std::vector<RawInstruction> code = mCode;
  uint8_t end = CommandNumber("end");
  bool ended = !code.empty() && (code.back().mCommand == end || code.back().mCommand == CommandNumber("jump") ||
                                 code.back().mCommand == CommandNumber("return"));
  if (!ended) {
    RawInstruction instruction;
    instruction.mCommand = end;
    instruction.mLine = mLine != 0 ? mLine : static_cast<int32_t>(code.size()) + 1;
    code.push_back(instruction);
  }
  return code;
}

void AddScript(ScriptData& data, const ScriptAssembler& code, const std::string& name) {
  data.mScripts.push_back({code.ScriptNumber(), name, 0});
  data.mScriptFiles[code.ScriptNumber()] = code.Finish();
  for (const LabelEntry& label : code.Labels()) data.mLabels.push_back(label);
}
