// Clipboard copy and paste of script texts.
#include <cstdint>
#include <string>

#include "oscmd/clipboard_text.h"
#include "platform/clipboard.h"
#include "platform/sjis_chars.h"
#include "script/arguments.h"
#include "script/command_handlers.h"
#include "script/variables.h"

namespace {

constexpr int kClipboardCopySlot = 5;
constexpr int kClipboardPasteSlot = 6;
// A paste takes at most this many bytes of the clipboard's text.
constexpr size_t kPasteBytes = 1024;

}  // namespace

std::string FilterPastedText(const std::string& text) {
  size_t used = text.find('\0');
  if (used == std::string::npos) used = text.size();
  if (used > kPasteBytes) used = kPasteBytes;
  std::string out;
  for (size_t at = 0; at < used; ++at) {
    auto c = static_cast<uint8_t>(text[at]);
    if (IsSjisLeadByte(c)) {
      if (at + 1 < used) out.append(text, at, 2);
      ++at;
      continue;
    }
    if (c >= 32) out.push_back(static_cast<char>(c));
  }
  return out;
}

int32_t CmdClipboardCopy() {
  if (FetchCommandArguments(kClipboardCopySlot) != 0) return -1;
  int text = ArgSlot(1);
  if (ArgSlot(0) == 0 || text == 0 || g_ArgString[text] == nullptr) return 0;
  SetPlatformClipboardText(g_ArgString[text]);
  return 0;
}

int32_t CmdClipboardPaste() {
  if (FetchCommandArguments(kClipboardPasteSlot) != 0) return -1;
  int out = ArgSlot(1);
  if (ArgSlot(0) == 0 || out == 0) return 0;
  std::string text;
  if (!GetPlatformClipboardText(&text)) return -1;
  std::string pasted = FilterPastedText(text);
  SetStringElementBytes(static_cast<uint32_t>(g_ArgVarId[out]), g_ArgVarElement[out], pasted.data(), pasted.size());
  return 0;
}
