#include "layer/object_path.h"

#include <cstring>
#include <string>
#include <string_view>

#include "datasrc/checksums.h"
#include "script/object_tree.h"
#include "shell/errors.h"
#include "shell/sjis.h"

namespace {

// Length of the character at text[index] of a NUL-terminated text: a lead
// byte takes the next byte with it unless that byte is the terminator.
size_t CharLengthAt(const char* text, size_t index) {
  if (IsSjisLeadByte(static_cast<uint8_t>(text[index])) && text[index + 1] != '\0') return 2;
  return 1;
}

bool IsPathSpecial(char c) { return c == '.' || c == '/' || c == ':'; }

// The end of the segment that starts at index: the next "/" or the end.
size_t SegmentEnd(const char* text, size_t index) {
  while (text[index] != '\0' && text[index] != '/') index += CharLengthAt(text, index);
  return index;
}

bool NameEquals(const ObjectTreeNode* node, const char* name, int32_t length) {
  return node->mNameLength == length && (length == 0 || std::memcmp(node->mName, name, length) == 0);
}

int RefusePath(const char* text) {
  // The text in the message is cut so that the message stays readable.
  std::string shown(text, SjisCutLength(text, kJoinedPathLimit));
  ReportErrorAtScriptFmt(100242, 1, shown);
  return kPathError;
}

// Removes from the end of output a run of "/" and the segment before it; the
// "/" before that segment stays.
void RemoveLastSegment(std::string& output) {
  while (!output.empty() && output.back() == '/') output.pop_back();
  // Find the last "/" that is a separator (not a trail byte: "/" is never a
  // trail byte in Shift-JIS, but the scan keeps characters whole anyway).
  size_t lastSeparator = std::string::npos;
  for (size_t index = 0; index < output.size();) {
    size_t length = CharLengthAt(output.c_str(), index);
    if (length == 1 && output[index] == '/') lastSeparator = index;
    index += length;
  }
  if (lastSeparator == std::string::npos) {
    output.clear();
  } else {
    output.resize(lastSeparator + 1);
  }
}

}  // namespace

int NormalizeObjectPath(char* output, const char* path, const char* base, uint8_t allowBlanks) {
  output[0] = '\0';
  if (path == nullptr) path = "";
  if (base == nullptr) base = "";

  bool special = false;
  for (size_t index = 0; path[index] != '\0'; index += CharLengthAt(path, index)) {
    if (IsPathSpecial(path[index])) {
      special = true;
      break;
    }
  }
  if (!special) {
    size_t baseLength = std::strlen(base);
    size_t pathLength = std::strlen(path);
    size_t total = baseLength == 0 ? pathLength : baseLength + 1 + pathLength;
    if (total > kObjectPathBytes - 1) return RefusePath(path);
    std::string joined;
    if (baseLength != 0) {
      joined.assign(base, baseLength);
      joined.push_back('/');
    }
    joined.append(path, pathLength);
    std::memcpy(output, joined.c_str(), joined.size() + 1);
    return kPathLeaf;
  }

  std::string joined;
  if (path[0] == ':' && path[1] == '/') {
    joined = path + 2;
  } else if (path[0] == ':') {
    joined = path + 1;
  } else {
    joined = base;
    if (!joined.empty()) joined.push_back('/');
    joined += path[0] == '/' ? path + 1 : path;
  }
  if (joined.size() > kJoinedPathLimit) return RefusePath(joined.c_str());
  if (joined.empty()) return kPathLeaf;

  const char* text = joined.c_str();
  std::string result;
  size_t index = 0;
  while (text[index] != '\0') {
    if (text[index] == '/') {
      result.push_back('/');
      ++index;
      continue;
    }
    size_t end = SegmentEnd(text, index);
    std::string_view segment(text + index, end - index);
    if (allowBlanks == 0 && segment.find(' ') != std::string_view::npos) {
      ReportErrorAtScriptFmt(100242, 1, joined);
      return kPathError;
    }
    bool followedBySlash = text[end] == '/';
    if (followedBySlash && segment == "..") {
      RemoveLastSegment(result);
      index = end + 1;
    } else if (followedBySlash && segment == ".") {
      index = end + 1;
    } else {
      result.append(segment);
      if (followedBySlash) result.push_back('/');
      index = followedBySlash ? end + 1 : end;
    }
  }
  int code = kPathLeaf;
  if (!result.empty() && result.back() == '/') {
    result.pop_back();
    code = kPathGroup;
  }
  // The result is never longer than the joined text.
  std::memcpy(output, result.c_str(), result.size() + 1);
  return code;
}

ObjectTreeNode* FindChildByName(const ObjectTreeNode* parent, const char* name, int32_t length) {
  if (parent == nullptr || length < 0) return nullptr;
  uint32_t key = (MurmurHash2(name, static_cast<size_t>(length)) & ~kGroupKeyBit) | kGroupKeyBit;
  for (ObjectTreeNode* child = parent->mFirstChild; child != nullptr; child = child->mNextSibling) {
    if (child->mKey == key && NameEquals(child, name, length)) return child;
  }
  return nullptr;
}

ObjectTreeNode* FindLeafChildByName(const ObjectTreeNode* parent, const char* name, int32_t length) {
  if (parent == nullptr || length < 0 || parent->mIndexKeys == nullptr) return nullptr;
  uint32_t key = MurmurHash2(name, static_cast<size_t>(length)) & ~kGroupKeyBit;
  int32_t start = FindChildIndexEntry(parent, key, nullptr);
  if (start < 0) return nullptr;
  for (int32_t position = start; position < parent->mIndexCount && parent->mIndexKeys[position] == key; ++position) {
    ObjectTreeNode* child = parent->mIndexNodes[position];
    if (NameEquals(child, name, length)) return child;
  }
  return nullptr;
}

ObjectTreeNode* FindObjectByPath(ObjectTreeNode* root, const char* path, int mode) {
  if (root == nullptr || path == nullptr) return nullptr;
  ObjectTreeNode* node = root;
  size_t index = 0;
  for (;;) {
    size_t end = SegmentEnd(path, index);
    if (path[end] != '/') break;
    node = FindChildByName(node, path + index, static_cast<int32_t>(end - index));
    if (node == nullptr) return nullptr;
    index = end + 1;
  }
  const char* name = path + index;
  auto length = static_cast<int32_t>(std::strlen(name));
  if (mode == kPathLeaf) return FindLeafChildByName(node, name, length);
  if (mode == kPathGroup) return FindChildByName(node, name, length);
  uint32_t hash = MurmurHash2(name, static_cast<size_t>(length)) & ~kGroupKeyBit;
  for (ObjectTreeNode* child = node->mFirstChild; child != nullptr; child = child->mNextSibling) {
    if ((child->mKey & ~kGroupKeyBit) == hash && NameEquals(child, name, length)) return child;
  }
  return nullptr;
}
