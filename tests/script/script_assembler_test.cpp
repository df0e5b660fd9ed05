// The test assembler must write what the engine's formats say, or every
// script test built on it would test the wrong thing.
#include "support/script_assembler.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/command_table.h"

namespace {

TEST(ExprTest, NumbersUseTheSmallestConstant) {
  EXPECT_EQ(Num(-128).mBytes, (Bytes{'B', 1, 0, 0x80}));
  EXPECT_EQ(Num(300).mBytes, (Bytes{'W', 2, 0, 0x2C, 0x01}));
  EXPECT_EQ(Num(-70000).mBytes, (Bytes{'I', 4, 0, 0x90, 0xEE, 0xFE, 0xFF}));
  EXPECT_EQ(Num(0x100000000LL).mBytes, (Bytes{'L', 8, 0, 0, 0, 0, 0, 1, 0, 0, 0}));
  Expr real = Real(1.0);
  EXPECT_TRUE(real.mReal);
  EXPECT_EQ(real.mBytes, (Bytes{'F', 8, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
}

TEST(ExprTest, StringLiteralsKeepTheirText) {
  EXPECT_EQ(Str("ab").mBytes, (Bytes{'M', 4, 0, '"', 'a', 'b', '"'}));
  // The delimiter avoids the text's own quote; backslashes are doubled, but
  // not the 0x5C trail byte of a double-byte character.
  EXPECT_EQ(Str("a\"\\").mBytes, (Bytes{'M', 6, 0, '\'', 'a', '"', '\\', '\\', '\''}));
  EXPECT_EQ(Str("\x83\x5c").mBytes, (Bytes{'M', 4, 0, '"', 0x83, 0x5C, '"'}));
}

TEST(ExprTest, VariablesAndOperatorsArePostfix) {
  EXPECT_EQ(Var(1000).mBytes, (Bytes{'H', 3, 0, ' ', 0xE8, 0x03}));
  EXPECT_EQ(Var(1000, '#').mBytes, (Bytes{'H', 3, 0, '#', 0xE8, 0x03}));
  EXPECT_EQ(Whole(1001).mBytes, (Bytes{'v', 3, 0, ' ', 0xE9, 0x03}));
  EXPECT_EQ(Elem(1002, {Num(1), Num(2)}).mBytes,
            (Bytes{'V', 3, 0, ' ', 0xEA, 0x03, 'B', 1, 0, 1, 'B', 1, 0, 2, ')', 0, 0}));
  EXPECT_EQ(Bin(Num(7), Num(0), '/').mBytes, (Bytes{'B', 1, 0, 7, 'B', 1, 0, 0, '/', 0, 0}));
  EXPECT_TRUE(Bin(Num(1), Real(2), '+').mReal);
  EXPECT_THROW(Var(0x10000), std::invalid_argument);
}

TEST(EncodeCallAuxTest, CountsGoToTheirBits) {
  // Integers in bits 3-7, reals in bits 0-2 (fours) and 14-15, strings in 9-13.
  EXPECT_EQ(EncodeCallAux(1, 0, 0), 0x0008);
  EXPECT_EQ(EncodeCallAux(16, 0, 0), 0x0080);
  EXPECT_EQ(EncodeCallAux(0, 1, 0), 0x4000);
  EXPECT_EQ(EncodeCallAux(0, 7, 0), 0xC001);
  EXPECT_EQ(EncodeCallAux(0, 16, 0), 0x0004);
  EXPECT_EQ(EncodeCallAux(0, 0, 16), 0x2000);
  EXPECT_THROW(EncodeCallAux(32, 0, 0), std::invalid_argument);
}

TEST(ScriptAssemblerTest, ArgumentsByNameAndAnEndedScript) {
  ScriptAssembler code(StandardCommandTable(), 3);
  code.Op("layer", {{"path", Str("bg")}, {"x", Num(10), 1}, {"file", Str("bg01")}});
  code.Label("here");
  std::vector<RawInstruction> result = code.Finish();
  ASSERT_EQ(result.size(), 2u);
  EXPECT_EQ(result[0].mCommand, FindCommandSlot("layer"));
  ASSERT_EQ(result[0].mArgs.size(), 3u);
  EXPECT_EQ(result[0].mArgs[1].mId, FindArgumentId(1, "x"));
  EXPECT_EQ(result[0].mArgs[1].mOperator, 1);
  EXPECT_EQ(result[0].mArgs[2].mId, 46);
  EXPECT_EQ(result[1].mCommand, FindCommandSlot("end"));
  ASSERT_EQ(code.Labels().size(), 1u);
  EXPECT_EQ(code.Labels()[0].mPosition, 1u);
  EXPECT_EQ(code.Labels()[0].mScript, 3);

  EXPECT_THROW(code.Op("no_such_command"), std::invalid_argument);
  EXPECT_THROW(code.Op("wait", {{"no_such_argument", Num(1)}}), std::invalid_argument);
  code.If(Num(1));
  EXPECT_THROW(code.Finish(), std::logic_error);
}

TEST(ScriptAssemblerTest, CommandTableIsConsistent) {
  const std::vector<CommandDecl>& table = StandardCommandTable();
  ASSERT_EQ(table.size(), 121u);
  for (size_t slot = 0; slot < table.size(); ++slot) {
    EXPECT_EQ(FindCommandSlot(table[slot].mName), static_cast<int>(slot)) << table[slot].mName;
    for (const ArgumentDecl& arg : table[slot].mArgs) {
      EXPECT_LE(arg.mValueKind, 2);
      EXPECT_LE(arg.mCheckKind, 28);
    }
  }
  EXPECT_EQ(table[43].mArgs.size(), 49u);
  EXPECT_EQ(table[43].mArgs[17].mName, "r1");
  EXPECT_EQ(table[79].mArgs[32].mName, "s1");
  EXPECT_EQ(table[14].mArgs[123].mName, "cmd121");
}

}  // namespace
