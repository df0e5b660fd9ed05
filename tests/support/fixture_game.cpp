#include "support/fixture_game.h"

#include "core/message_ids.h"
#include "support/command_table.h"
#include "support/pack_builder.h"
#include "support/script_assembler.h"
#include "support/script_test_env.h"

const std::vector<MessageId>& FixtureMessageIds() {
  static const std::vector<MessageId> ids{kMsgObjectGroupMissing,       kMsgBlankInName,
                                          kMsgVariableFileVersion,      kMsgLabelNotFound,
                                          kMsgNullObjectPath,           kMsgUndefinedCommand,
                                          kMsgVariableNumberOutOfRange, kMsgWindowTitleTooLong,
                                          kMsgBadEngineSetting,         kMsgScriptNumberOutOfRange,
                                          kMsgArrayTooLarge,            kMsgArrayCountNotPositive};
  return ids;
}

ScriptData MakeFixtureGame() {
  ScriptData data;
  data.mMessages = TaggedMessages(FixtureMessageIds());
  data.mCommands = StandardCommandTable();
  data.mVariableCount = 1999;
  data.mVariableValue = 77;

  ScriptAssembler main(StandardCommandTable(), 0);
  main.Op("nop");
  main.Label("SYSTEM_START");
  main.Op("wait", {{"frames", Num(1)}});
  main.Loop(Num(3));
  main.If(Bin(Var(kFixtureInt), Num(42), '='));
  main.Label("inside");  // one block and one loop deep
  main.Call(Str("sub"), {{Num(1), Num(2)}, {Real(0.5)}, {Str("text")}});
  main.ElseIf(Num(0));
  main.Call(Str("no_such_label"));
  main.Else();
  main.Jump(Bin(Str("ins"), Str("ide"), '+'));
  main.EndIf();
  main.EndLoop();
  main.Jump(ToStr(Var(kFixtureInt)));  // resolved when it runs
  main.Line(500);
  main.End();
  AddScript(data, main, "main.txt");

  ScriptAssembler sub(StandardCommandTable(), 1);
  sub.Label("sub");
  sub.Op("wait", {{"ms", Num(10)}});
  sub.Return({{Num(3)}, {}, {}});
  // Where the main script's computed jump lands: the game then waits until
  // it is told to end.
  sub.Label("42");
  sub.Loop(Num(-1));
  sub.Op("wait", {{"frames", Num(1)}});
  sub.EndLoop();
  AddScript(data, sub, "sub\\sub.txt");

  auto define = [](uint8_t scope, uint8_t group, uint16_t script, uint16_t variable, uint8_t type) {
    VariableDefinition definition;
    definition.mScope = scope;
    definition.mGroup = group;
    definition.mScript = script;
    definition.mVariable = variable;
    definition.mType = type;
    return definition;
  };
  VariableDefinition integer = define(1, 2, 0, kFixtureInt, 1);
  integer.mInt = 42;
  VariableDefinition real = define(3, 1, 0, kFixtureReal, 2);
  real.mDims = {3};
  real.mReal = 2.5;
  VariableDefinition text = define(1, 3, 0, kFixtureString, 3);
  text.mDims = {2, 2};
  text.mStringExpression = Str("C:\\dir\\x").mBytes;
  VariableDefinition local = define(2, 4, 1, kFixtureScriptVar, 1);
  local.mInt = 7;
  data.mDefinitions = {integer, real, text, local};
  data.mConfig.mTitle = "フィクスチャ";
  return data;
}

bool WriteGamePack(const std::string& path, const std::vector<GameFile>& files) {
  PackBuilder pack;
  for (const GameFile& file : files) AddPackFile(&pack, file.mName, file.mBytes).mCompressed = true;
  return WritePackFile(path, pack);
}
