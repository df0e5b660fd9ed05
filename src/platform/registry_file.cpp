#include "platform/registry_file.h"

#include <glib.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/file_replace.h"
#include "platform/folders.h"
#include "platform/sjis_chars.h"
#include "platform/text_codec.h"

namespace {

// The type numbers the file spells as words; other types are written as
// hex(<number>).
constexpr uint32_t kString = 1;
constexpr uint32_t kExpandString = 2;
constexpr uint32_t kBinary = 3;
constexpr uint32_t kDword = 4;
constexpr uint32_t kQword = 11;

struct KeyFile {
  GKeyFile* mFile = g_key_file_new();
  KeyFile() = default;
  KeyFile(const KeyFile&) = delete;
  KeyFile& operator=(const KeyFile&) = delete;
  ~KeyFile() { g_key_file_free(mFile); }
};

struct StringList {
  gchar** mList = nullptr;
  ~StringList() { g_strfreev(mList); }
};

// Shift-JIS text as UTF-8 when it converts both ways unchanged.
bool ToUtf8(const std::string& text, std::string* utf8) {
  *utf8 = ConvertCp932ToUtf8(text);
  std::string back;
  return TryConvertUtf8ToCp932(*utf8, back) && back == text;
}

// Names of groups and entries: UTF-8 where the text allows, with the bytes
// the file format reserves written as %XX; the empty value name is "@".
std::string EncodeName(const std::string& name) {
  if (name.empty()) return "@";
  std::string utf8;
  bool text = ToUtf8(name, &utf8);
  const std::string& source = text ? utf8 : name;
  std::string out;
  for (unsigned char c : source) {
    bool reserved = c < 0x20 || c == 0x7F || c == '%' || c == '=' || c == '[' || c == ']' || c == '@' || c == '#' ||
                    c == ' ' || (!text && c >= 0x80);
    if (reserved) {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string DecodeName(const char* encoded) {
  if (std::strcmp(encoded, "@") == 0) return {};
  std::string raw;
  bool escapedHigh = false;
  for (size_t i = 0; encoded[i] != '\0'; ++i) {
    if (encoded[i] == '%' && g_ascii_isxdigit(encoded[i + 1]) && g_ascii_isxdigit(encoded[i + 2])) {
      int value = g_ascii_xdigit_value(encoded[i + 1]) * 16 + g_ascii_xdigit_value(encoded[i + 2]);
      escapedHigh = escapedHigh || value >= 0x80;
      raw += static_cast<char>(value);
      i += 2;
    } else {
      raw += encoded[i];
    }
  }
  // Escaped high bytes are Shift-JIS already; otherwise the name is UTF-8.
  if (escapedHigh) return raw;
  std::string cp932;
  return TryConvertUtf8ToCp932(raw, cp932) ? cp932 : raw;
}

bool LoadStore(KeyFile* file) {
  std::string path = GetRegistryFilePath();
  struct stat info{};
  if (stat(path.c_str(), &info) != 0) return true;
  if (!S_ISREG(info.st_mode) || static_cast<uint64_t>(info.st_size) > kRegistryFileLimit) return false;
  return g_key_file_load_from_file(file->mFile, path.c_str(), G_KEY_FILE_NONE, nullptr) != FALSE;
}

bool SaveStore(KeyFile* file) {
  std::string path = GetRegistryFilePath();
  std::string folder = path.substr(0, path.rfind('/'));
  if (!CreateNativeFolders(folder)) return false;
  gsize length = 0;
  gchar* data = g_key_file_to_data(file->mFile, &length, nullptr);
  if (data == nullptr) return false;
  int error = 0;
  bool saved = ReplaceFileContents(path, reinterpret_cast<const uint8_t*>(data), length, &error) == 0;
  g_free(data);
  return saved;
}

// The stored group or entry whose decoded name matches, ASCII case folded.
std::string FindGroup(KeyFile* file, const std::string& key) {
  StringList groups{g_key_file_get_groups(file->mFile, nullptr)};
  for (gchar** group = groups.mList; group != nullptr && *group != nullptr; ++group) {
    if (EqualsSjisNoCase(DecodeName(*group), key)) return *group;
  }
  return {};
}

std::string FindEntry(KeyFile* file, const std::string& group, const std::string& name) {
  StringList keys{g_key_file_get_keys(file->mFile, group.c_str(), nullptr, nullptr)};
  for (gchar** entry = keys.mList; entry != nullptr && *entry != nullptr; ++entry) {
    if (EqualsSjisNoCase(DecodeName(*entry), name)) return *entry;
  }
  return {};
}

std::string HexOf(const std::vector<uint8_t>& data) {
  std::string out;
  char pair[3];
  for (uint8_t byte : data) {
    std::snprintf(pair, sizeof pair, "%02x", byte);
    out += pair;
  }
  return out;
}

bool BytesOfHex(const char* hex, std::vector<uint8_t>* data) {
  data->clear();
  size_t length = std::strlen(hex);
  if (length % 2 != 0) return false;
  for (size_t i = 0; i < length; i += 2) {
    if (!g_ascii_isxdigit(hex[i]) || !g_ascii_isxdigit(hex[i + 1])) return false;
    data->push_back(static_cast<uint8_t>(g_ascii_xdigit_value(hex[i]) * 16 + g_ascii_xdigit_value(hex[i + 1])));
  }
  return true;
}

uint64_t LittleEndian(const std::vector<uint8_t>& data) {
  uint64_t value = 0;
  for (size_t i = data.size(); i-- > 0;) value = (value << 8) | data[i];
  return value;
}

// "sz:text", "expand_sz:text", "dword:%u", "qword:%llu", "hex:..", "hex(n):..".
std::string EncodeValue(uint32_t type, const std::vector<uint8_t>& data) {
  if (type == kString || type == kExpandString) {
    // Stored without the terminator the caller may have counted.
    std::string text(data.begin(), data.end());
    if (!text.empty() && text.back() == '\0') text.pop_back();
    std::string utf8;
    if (text.find('\0') == std::string::npos && ToUtf8(text, &utf8)) {
      gchar* escaped = g_strescape(utf8.c_str(), "");
      std::string out = std::string(type == kString ? "sz:" : "expand_sz:") + escaped;
      g_free(escaped);
      return out;
    }
  }
  if (type == kDword && data.size() == 4) return "dword:" + std::to_string(LittleEndian(data));
  if (type == kQword && data.size() == 8) return "qword:" + std::to_string(LittleEndian(data));
  if (type == kBinary) return "hex:" + HexOf(data);
  return "hex(" + std::to_string(type) + "):" + HexOf(data);
}

bool DecodeValue(const char* stored, uint32_t* type, std::vector<uint8_t>* data) {
  std::string value = stored;
  auto take = [&](const char* prefix) {
    size_t length = std::strlen(prefix);
    if (value.compare(0, length, prefix) != 0) return false;
    value.erase(0, length);
    return true;
  };
  if (take("sz:") || take("expand_sz:")) {
    *type = stored[0] == 's' ? kString : kExpandString;
    gchar* text = g_strcompress(value.c_str());
    std::string cp932;
    bool ok = TryConvertUtf8ToCp932(text, cp932);
    g_free(text);
    if (!ok) return false;
    // The terminator belongs to the value, as the registry keeps it.
    data->assign(cp932.begin(), cp932.end());
    data->push_back(0);
    return true;
  }
  if (take("dword:") || take("qword:")) {
    bool dword = stored[0] == 'd';
    char* end = nullptr;
    errno = 0;
    unsigned long long number = std::strtoull(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || errno != 0 || (dword && number > 0xFFFFFFFFull)) return false;
    *type = dword ? kDword : kQword;
    data->clear();
    for (int i = 0; i < (dword ? 4 : 8); ++i) data->push_back(static_cast<uint8_t>(number >> (8 * i)));
    return true;
  }
  if (take("hex:")) {
    *type = kBinary;
    return BytesOfHex(value.c_str(), data);
  }
  if (take("hex(")) {
    char* end = nullptr;
    unsigned long number = std::strtoul(value.c_str(), &end, 10);
    if (end == value.c_str() || end[0] != ')' || end[1] != ':' || number > 0xFFFFFFFFul) return false;
    *type = static_cast<uint32_t>(number);
    return BytesOfHex(end + 2, data);
  }
  return false;
}

}  // namespace

std::string GetRegistryFilePath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (config != nullptr && config[0] == '/') {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home != nullptr && home[0] != '\0' ? home : "/tmp") + "/.config";
  }
  return folder + "/orvane/registry";
}

bool ReadRegistryFileValue(const std::string& key, const std::string& name, uint32_t* type,
                           std::vector<uint8_t>* data) {
  KeyFile file;
  if (!LoadStore(&file)) return false;
  std::string group = FindGroup(&file, key);
  if (group.empty()) return false;
  std::string entry = FindEntry(&file, group, name);
  if (entry.empty()) return false;
  gchar* stored = g_key_file_get_value(file.mFile, group.c_str(), entry.c_str(), nullptr);
  if (stored == nullptr) return false;
  bool ok = DecodeValue(stored, type, data);
  g_free(stored);
  return ok;
}

bool WriteRegistryFileValue(const std::string& key, const std::string& name, uint32_t type,
                            const std::vector<uint8_t>& data) {
  KeyFile file;
  // A store that cannot be read is not overwritten.
  if (!LoadStore(&file)) return false;
  std::string group = FindGroup(&file, key);
  if (group.empty()) group = EncodeName(key);
  std::string entry = FindEntry(&file, group, name);
  if (entry.empty()) entry = EncodeName(name);
  g_key_file_set_value(file.mFile, group.c_str(), entry.c_str(), EncodeValue(type, data).c_str());
  return SaveStore(&file);
}

bool DeleteRegistryFileValue(const std::string& key, const std::string& name) {
  KeyFile file;
  if (!LoadStore(&file)) return false;
  std::string group = FindGroup(&file, key);
  if (group.empty()) return false;
  std::string entry = FindEntry(&file, group, name);
  if (entry.empty()) return false;
  g_key_file_remove_key(file.mFile, group.c_str(), entry.c_str(), nullptr);
  return SaveStore(&file);
}

bool DeleteRegistryFileKey(const std::string& key) {
  KeyFile file;
  if (!LoadStore(&file)) return false;
  std::string group = FindGroup(&file, key);
  if (group.empty()) return false;
  std::string prefix = key + "\\";
  StringList groups{g_key_file_get_groups(file.mFile, nullptr)};
  for (gchar** other = groups.mList; other != nullptr && *other != nullptr; ++other) {
    std::string decoded = DecodeName(*other);
    if (decoded.size() > prefix.size() && EqualsSjisNoCase(decoded.substr(0, prefix.size()), prefix)) return false;
  }
  g_key_file_remove_group(file.mFile, group.c_str(), nullptr);
  return SaveStore(&file);
}
