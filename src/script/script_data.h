#pragma once
// The compiled script data: message texts, command declarations, variables,
// the script list, variable definitions, labels and the script files.
#include <cstddef>
#include <cstdint>

#include "script/execution_context.h"

constexpr int kCommandSlots = 121;
constexpr int kErrnoTexts = 37;
constexpr int kScriptKeyTableBytes = 256;
constexpr int kLabelBuckets = 256;
// Variable numbers are 16-bit in the compiled files.
constexpr uint32_t kMaxVariableNumber = 0xFFFF;
constexpr uint32_t kVariableFileVersion = 554;
// A jump's first argument record holds this plus the label number in its
// length field once the loader has resolved the label.
constexpr uint32_t kResolvedJumpTag = 0x10000000;
// Command numbers the script-file loader looks at.
enum : uint8_t {
  kCommandElse = 11,
  kCommandEndProgram = 13,
  kCommandSwitches = 14,
  kCommandValidate15 = 15,
  kCommandRealDeclare = 25,
  kCommandJump = 42,
  kCommandCall = 43,
  kCommandBlockBegin = 44,
  kCommandBlockGotoEnd = 45,
  kCommandBlockBreak = 46,
  kCommandBlockRepeat = 47,
  kCommandBlockEnd = 48,
  kCommandIntDeclare = 50,
  kCommandLabelExists = 52,
  kCommandAssign = 53,
  kCommandLoopBegin = 55,
  kCommandLoopBreak = 56,
  kCommandLoopContinue = 57,
  kCommandLoopEnd = 58,
  kCommandMath = 60,
  kCommandReturn = 79,
  kCommandStringDeclare = 92,
  kCommandScriptList = 94,
  kCommandTaskStart = 95,
  kCommandTaskEnd = 96,
  kCommandTaskQuery = 97,
  kCommandVariableOps = 102,
  kCommandVariableInfo = 103,
  kCommandWait = 104,
};

// One argument of an instruction, 12 bytes in the script file, used in place.
struct ArgumentRecord {
  uint8_t mId;
  uint8_t mUnused;
  uint8_t mValueType;
  uint8_t mOperator;
  uint32_t mLength;  // expression length, or a branch target
  uint32_t mOffset;  // expression offset in the expression section
};
static_assert(sizeof(ArgumentRecord) == 12, "argument records are used in place in the file image");

struct ScriptFileRecord {
  int32_t mInstructionCount;
  CommandHandler* mHandlers[2];  // 0: the pre-step of every instruction; 1: the command's handler
  uint16_t* mAuxWords;
  uint8_t* mArgCounts;
  ArgumentRecord** mArgRecords;
  uint8_t* mExpressionData;
  int32_t* mLines;
  // The label number of each argument record that names a call's label, -1
  // where it is unresolved (indexed by record number in the argument
  // section).
  int32_t* mCallLabels;
  int32_t mArgRecordCount;  // entries of mCallLabels
  uint32_t mExpressionSize;
  uint8_t* mImage;  // the whole file, kept
};

struct LabelRecord {
  char* mName;
  int32_t mNameLength;
  uint32_t mHash;
  int32_t mPosition;
  uint16_t mScriptNumber;
  uint8_t mBlockDepth;
  uint8_t mLoopDepth;
};

// Command declarations (from qvc.qbn), by command number.
extern CommandHandler g_CommandTable[kCommandSlots];
extern int32_t g_CommandCount;
extern const char* g_CommandNames[kCommandSlots];
extern uint8_t g_ArgDeclCounts[kCommandSlots];
extern const char** g_ArgNames[kCommandSlots];
extern uint8_t* g_ArgValueKinds[kCommandSlots];
extern uint8_t* g_ArgCheckKinds[kCommandSlots];
extern const char* g_ErrnoTexts[kErrnoTexts];
// Entry k: the input slot of script key k.
extern uint8_t g_ScriptKeyTable[kScriptKeyTableBytes];

extern uint32_t g_VariableFileValue;

extern int32_t g_ScriptCount;
extern ScriptFileRecord** g_ScriptFileTable;
extern char** g_ScriptNames;
extern uint32_t* g_ScriptValues;

extern uint8_t* g_VariableDefinitions;
extern size_t g_VariableDefinitionsSize;
extern uint16_t g_VariableDefinitionCount;

extern LabelRecord* g_Labels;
extern int32_t g_LabelCount;
extern int32_t g_LabelBuckets[kLabelBuckets];

// The key of the four script-file sections.
extern uint8_t g_ScriptSectionKey[4];
// The identifier string the section key is derived from.
extern const char kScriptIdentifier[];
// Builds g_ScriptSectionKey: the CRC-32 of the identifier string, its bytes
// from the most significant to the least significant.
void InitScriptSectionKey();
void MakeScriptSectionKey(const char* identifier, uint8_t key[4]);
// XORs byte i with key[i % 4]; scrambling and unscrambling are the same.
void ScrambleSection(uint8_t* data, size_t size, const uint8_t key[4]);

// The start-up load: 0 success; non-zero after a fatal report.
int LoadScriptData();
// Frees every table of the script data (tests load more than once).
void ReleaseScriptData();

int LoadErrorTexts();
int LoadCommandTable();
int LoadVariableTable();
int LoadScriptList();
int AllocateScriptFileTable(int32_t count);
int LoadVariableDefinitions();
int LoadLabels();
// Script -1: the definitions of scopes 1 and 3; a script number: its scope-2
// definitions. 0, or -1 after a fatal report.
int InitScriptVariables(int32_t script);

// 1 when the script file is loaded (now or earlier), 0 after a fatal report.
int LoadScriptFile(uint16_t script);
// Frees a script file's record, its arrays and its file image.
void FreeScriptFileRecord(ScriptFileRecord* record);
// The label number, or -1.
int32_t FindLabel(const char* name, size_t length);
// Copies the script file's tables into the context and sets its script
// number. False when the file is not loaded.
bool EnterScriptFile(ExecutionContext* context, uint16_t script);

// The command table's handlers: all CmdUndefined, then the handlers of the
// command slots.
void InstallCommandHandlers();
