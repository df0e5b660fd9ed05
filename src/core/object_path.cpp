#include "core/object_path.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "core/errors.h"
#include "core/object_tree.h"
#include "core/sjis.h"

namespace {

bool IsPathSpecial(char c) { return c == '.' || c == '/' || c == ':'; }

// The end of the segment that starts at index: the next "/" or the end.
size_t SegmentEnd(std::string_view text, size_t index) {
  while (index < text.size() && text[index] != '/') index += SjisCharLength(text, index);
  return index;
}

bool NameEquals(const ObjectTreeNode* node, std::string_view name) {
  return node->mNameLength == static_cast<int32_t>(name.size()) &&
         (name.empty() || std::memcmp(node->mName, name.data(), name.size()) == 0);
}

int RefusePath(std::string_view text) {
  // The text in the message is cut so that the message stays readable.
  std::string shown(text.substr(0, SjisCutLength(text, kJoinedPathLimit)));
  ReportErrorAtScriptFmt(100242, 1, shown);
  return kPathError;
}

// The length of output (length bytes) without its trailing run of "/" and
// the segment before that run; the "/" before that segment stays.
size_t RemoveLastSegment(const char* output, size_t length) {
  while (length > 0 && output[length - 1] == '/') --length;
  std::string_view text(output, length);
  size_t kept = 0;
  for (size_t index = 0; index < text.size();) {
    size_t charLength = SjisCharLength(text, index);
    if (charLength == 1 && text[index] == '/') kept = index + 1;
    index += charLength;
  }
  return kept;
}

}  // namespace

int NormalizeObjectPath(char* output, const char* path, const char* base, uint8_t allowBlanks) {
  output[0] = '\0';
  std::string_view pathText = path != nullptr ? path : "";
  std::string_view baseText = base != nullptr ? base : "";

  bool special = false;
  for (size_t index = 0; index < pathText.size() && !special; index += SjisCharLength(pathText, index)) {
    special = IsPathSpecial(pathText[index]);
  }
  if (!special) {
    // The base, "/" and the path; the path alone under an empty base.
    size_t total = baseText.empty() ? pathText.size() : baseText.size() + 1 + pathText.size();
    if (total > kObjectPathBytes - 1) return RefusePath(pathText);
    char* end = output;
    if (!baseText.empty()) {
      end = std::copy(baseText.begin(), baseText.end(), end);
      *end++ = '/';
    }
    end = std::copy(pathText.begin(), pathText.end(), end);
    *end = '\0';
    return kPathLeaf;
  }

  std::string joined;
  if (pathText.starts_with(":/")) {
    joined = pathText.substr(2);
  } else if (pathText.starts_with(':')) {
    joined = pathText.substr(1);
  } else {
    joined = baseText;
    if (!joined.empty()) joined.push_back('/');
    joined += pathText.starts_with('/') ? pathText.substr(1) : pathText;
  }
  if (joined.size() > kJoinedPathLimit) return RefusePath(joined);

  // The result is never longer than the joined text: it is built in place.
  std::string_view text = joined;
  size_t length = 0;
  size_t index = 0;
  while (index < text.size()) {
    if (text[index] == '/') {
      output[length++] = '/';
      ++index;
      continue;
    }
    size_t end = SegmentEnd(text, index);
    std::string_view segment = text.substr(index, end - index);
    if (allowBlanks == 0 && segment.find(' ') != std::string_view::npos) {
      output[0] = '\0';
      ReportErrorAtScriptFmt(100242, 1, joined);
      return kPathError;
    }
    bool followedBySlash = end < text.size();
    if (followedBySlash && segment == "..") {
      length = RemoveLastSegment(output, length);
    } else if (!(followedBySlash && segment == ".")) {
      std::memcpy(output + length, segment.data(), segment.size());
      length += segment.size();
      if (followedBySlash) output[length++] = '/';
    }
    index = followedBySlash ? end + 1 : end;
  }
  int code = kPathLeaf;
  if (length > 0 && output[length - 1] == '/') {
    --length;
    code = kPathGroup;
  }
  output[length] = '\0';
  return code;
}

ObjectTreeNode* FindChildByName(const ObjectTreeNode* parent, const char* name, int32_t length) {
  if (parent == nullptr || length < 0) return nullptr;
  std::string_view text(name, static_cast<size_t>(length));
  uint32_t key = MakeNodeKey(text, 1);
  for (ObjectTreeNode* child = parent->mFirstChild; child != nullptr; child = child->mNextSibling) {
    if (child->mKey == key && NameEquals(child, text)) return child;
  }
  return nullptr;
}

ObjectTreeNode* FindLeafChildByName(const ObjectTreeNode* parent, const char* name, int32_t length) {
  if (parent == nullptr || length < 0) return nullptr;
  std::string_view text(name, static_cast<size_t>(length));
  uint32_t key = MakeNodeKey(text, 0);
  int32_t start = FindChildIndexEntry(parent, key, nullptr);
  if (start < 0) return nullptr;
  for (int32_t position = start; position < parent->mIndexCount && parent->mIndexKeys[position] == key; ++position) {
    ObjectTreeNode* child = parent->mIndexNodes[position];
    if (NameEquals(child, text)) return child;
  }
  return nullptr;
}

ObjectTreeNode* FindObjectByPath(ObjectTreeNode* root, const char* path, int mode) {
  if (root == nullptr || path == nullptr) return nullptr;
  std::string_view text(path);
  ObjectTreeNode* node = root;
  size_t index = 0;
  for (size_t end = SegmentEnd(text, index); end < text.size(); end = SegmentEnd(text, index)) {
    node = FindChildByName(node, path + index, static_cast<int32_t>(end - index));
    if (node == nullptr) return nullptr;
    index = end + 1;
  }
  std::string_view name = text.substr(index);
  auto length = static_cast<int32_t>(name.size());
  if (mode == kPathLeaf) return FindLeafChildByName(node, name.data(), length);
  if (mode == kPathGroup) return FindChildByName(node, name.data(), length);
  uint32_t key = MakeNodeKey(name, 0);
  for (ObjectTreeNode* child = node->mFirstChild; child != nullptr; child = child->mNextSibling) {
    if ((child->mKey & ~kGroupKeyBit) == key && NameEquals(child, name)) return child;
  }
  return nullptr;
}
