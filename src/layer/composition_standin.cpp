// Stand-ins until the compositor and the window presentation are built:
// nothing is composed or presented, and each keeps its routine's result (the
// quit flag).
#include "core/process_state.h"
#include "core/stand_in.h"
#include "layer/composition.h"

int RenderWindowLayers(int) {
  STAND_IN();
  return g_QuitFlag.load();
}
int PresentWindowCpu(int) {
  STAND_IN();
  return g_QuitFlag.load();
}
void FlagWindowLayerFullyDirty(int) { STAND_IN(); }
