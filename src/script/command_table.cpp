// The command table: every slot starts as the undefined command, then each
// command number gets its handler.
#include "script/command_handlers.h"
#include "script/control_flow.h"
#include "script/script_data.h"
#include "script/task_step.h"
#include "script/tasks.h"
#include "script/variables.h"

namespace {

struct SlotHandler {
  int mSlot;
  CommandHandler mHandler;
};

constexpr SlotHandler kSlotHandlers[] = {
    {0, NoOperation},
    {1, CmdLayerDefine},
    {2, CmdImageOperation},
    {3, CmdLayerDelete},
    {4, CmdLayerQuery},
    {5, CmdClipboardCopy},
    {6, CmdClipboardPaste},
    {7, CmdTextDataRead},
    {8, CmdTextDataCount},
    {9, NoOperation},
    {10, CmdMessageBox},
    {11, CmdElse},
    {12, CmdEmoteControl},
    {13, CmdEndProgram},
    {14, CmdSetCommandSwitches},
    {15, CmdValidateOnly15},
    {20, CmdFileUtility},
    {21, CmdFileInfo},
    {22, CmdFlashPlay},
    {23, CmdFlashStop},
    {24, CmdFlashQuery},
    {25, CmdDeclareReal},
    {26, CmdTextStyle},
    {27, CmdTextStyleQuery},
    {28, CmdFrameRate},
    {42, CmdJump},
    {43, CmdCall},
    {44, CmdBlockBegin},
    {45, CmdBlockGotoEnd},
    {46, CmdBlockBreak},
    {47, CmdBlockRepeat},
    {48, CmdBlockEnd},
    {49, CmdInputEnable},
    {50, CmdDeclareInt},
    {51, CmdNoOperation},
    {52, CmdLabelExists},
    {53, CmdAssign},
    {54, CmdLoadData},
    {55, CmdLoopBegin},
    {56, CmdLoopBreak},
    {57, CmdLoopContinue},
    {58, CmdLoopEnd},
    {60, CmdMathFunction},
    {61, CmdCameraProject},
    {62, CmdMenuDefine},
    {63, CmdMenuPopup},
    {64, CmdMenuDelete},
    {65, CmdMenuQuery},
    {66, CmdValidateOnly66},
    {67, CmdValidateOnly67},
    {68, CmdValidateOnly68},
    {69, CmdMouse},
    {70, CmdMoviePlay},
    {71, CmdMovieStop},
    {72, CmdMovieQuery},
    {73, CmdOgvOpen},
    {74, CmdOgvClose},
    {75, CmdOgvQuery},
    {76, CmdValidateOnly76},
    {77, NoOperation},
    {78, CmdRegistryRead},
    {79, CmdReturn},
    {80, NoOperation},
    {81, CmdMessageEnd},
    {82, NoOperation},
    {83, NoOperation},
    {84, NoOperation},
    {86, CmdSaveData},
    {87, CmdDiscardSaveRecords},
    {88, CmdValidateOnly88},
    {89, CmdSoundDefine},
    {90, CmdSoundDelete},
    {91, CmdSoundQuery},
    {92, CmdRedefineStringVar},
    {93, CmdScreenAndTimers},
    {94, CmdScriptListQuery},
    {95, CmdTaskStart},
    {96, CmdTaskEnd},
    {97, CmdTaskQuery},
    {98, CmdTextFileRead},
    {99, CmdValidateOnly99},
    {100, CmdTrayIcon},
    {101, CmdValidateOnly101},
    {102, CmdVariableOps},
    {103, CmdVariableInfo},
    {104, CmdWait},
    {105, CmdWindowControl},
    {106, CmdWindowHide},
    {107, CmdWindowQuery},
    {108, CmdMessageAppendText},
    {109, CmdFrameAnimation},
    {110, CmdFrameAnimationRelease},
    {111, CmdFrameAnimationQuery},
    {112, CmdMessageAppendValue},
    {116, CmdOsUtility},
};

}  // namespace

void InstallCommandHandlers() {
  for (CommandHandler& handler : g_CommandTable) handler = CmdUndefined;
  for (const SlotHandler& entry : kSlotHandlers) g_CommandTable[entry.mSlot] = entry.mHandler;
}
