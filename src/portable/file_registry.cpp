#include "portable/file_registry.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <map>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "app/text.h"

// The store file, one line each:
//   ; Proxanto registry store 1            (first line, required)
//   [HKEY_LOCAL_MACHINE\Software\Marvedo\Quillet]
//   lang=REG_SZ:31 00
//   count=REG_DWORD:02 00 00 00
// A [root\path] line names a key (keys without values are listed too, so that
// their existence survives); the value lines below it belong to that key:
// name, "=", the type (a name or a decimal number), ":", the bytes in hex.
// Names escape control characters, "%" and "=" (and a leading "[" or ";") as
// %XX. Lines starting with ";" are comments. A line that cannot be read is
// skipped, and so are the values under a key line that cannot be read; a file
// without the first line is not a store and reads as empty.

namespace proxanto {

namespace {

constexpr std::string_view kHeader = "; Proxanto registry store 1";

struct StoredValue {
  std::string name;
  RegValue value;
};

struct StoredKey {
  std::string path;  // as first created, components joined by one backslash
  std::vector<StoredValue> values;
};

// Root, then the lower-cased components: keys sort parents first.
using KeyId = std::pair<std::uint32_t, std::vector<std::string>>;
using Store = std::map<KeyId, StoredKey>;

constexpr std::array<std::pair<RegRoot, std::string_view>, 2> kRootNames{{
    {RegRoot::CurrentUser, "HKEY_CURRENT_USER"},
    {RegRoot::LocalMachine, "HKEY_LOCAL_MACHINE"},
}};

constexpr std::array<std::pair<std::uint32_t, std::string_view>, 7> kTypeNames{{
    {0, "REG_NONE"},
    {1, "REG_SZ"},
    {2, "REG_EXPAND_SZ"},
    {3, "REG_BINARY"},
    {4, "REG_DWORD"},
    {7, "REG_MULTI_SZ"},
    {11, "REG_QWORD"},
}};

// The components of a key path; nothing when the path names no key.
std::optional<std::vector<std::string>> split_key_path(std::string_view path) {
  if (!path.empty() && path.front() == '\\') return std::nullopt;
  std::vector<std::string> components;
  for (std::string& part : split(path, '\\')) {
    if (!part.empty()) components.push_back(std::move(part));
  }
  return components;
}

KeyId key_id(RegRoot root, const std::vector<std::string>& components) {
  KeyId id{static_cast<std::uint32_t>(root), {}};
  id.second.reserve(components.size());
  for (const std::string& c : components) id.second.push_back(ascii_lower(c));
  return id;
}

bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ascii_lower(a) == ascii_lower(b);
}

StoredValue* find_value(StoredKey& key, std::string_view name) {
  const auto it = std::find_if(key.values.begin(), key.values.end(),
                               [&](const StoredValue& v) { return same_name(v.name, name); });
  return it == key.values.end() ? nullptr : &*it;
}

// Text form -----------------------------------------------------------------

constexpr char kHexDigits[] = "0123456789abcdef";

void append_hex_byte(std::string& out, unsigned char byte) {
  out.push_back(kHexDigits[byte >> 4]);
  out.push_back(kHexDigits[byte & 0x0F]);
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string escape_name(std::string_view name, bool value_name) {
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    const bool special = c < 0x20 || c == 0x7F || c == '%' || (value_name && c == '=') ||
                         (value_name && i == 0 && (c == '[' || c == ';'));
    if (special) {
      out.push_back('%');
      append_hex_byte(out, c);
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

std::optional<std::string> unescape_name(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = hex_value(text[i + 1]);
    const int low = hex_value(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return out;
}

std::string type_text(std::uint32_t type) {
  for (const auto& [number, name] : kTypeNames) {
    if (number == type) return std::string(name);
  }
  return std::to_string(type);
}

std::optional<std::uint32_t> parse_type(std::string_view text) {
  for (const auto& [number, name] : kTypeNames) {
    if (text == name) return number;
  }
  std::uint32_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return number;
}

std::optional<std::vector<std::uint8_t>> parse_bytes(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  std::size_t i = 0;
  while (true) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i == text.size()) return bytes;
    if (i + 1 >= text.size()) return std::nullopt;
    const int high = hex_value(text[i]);
    const int low = hex_value(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    i += 2;
    if (i < text.size() && text[i] != ' ' && text[i] != '\t') return std::nullopt;
  }
}

// "[root\a\b]" -> the key; nothing when the line cannot be read.
std::optional<std::pair<KeyId, StoredKey>> parse_key_line(std::string_view line) {
  const std::string_view inner = line.substr(1, line.size() - 2);
  const std::vector<std::string> parts = split(inner, '\\');
  std::optional<RegRoot> root;
  for (const auto& [r, name] : kRootNames) {
    if (same_name(parts.front(), name)) root = r;
  }
  if (!root) return std::nullopt;
  std::vector<std::string> components;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    std::optional<std::string> component = unescape_name(parts[i]);
    if (!component || component->empty() || component->find('\\') != std::string::npos) {
      return std::nullopt;
    }
    components.push_back(std::move(*component));
  }
  StoredKey key;
  for (const std::string& c : components) {
    if (!key.path.empty()) key.path.push_back('\\');
    key.path += c;
  }
  return std::pair{key_id(*root, components), std::move(key)};
}

std::optional<StoredValue> parse_value_line(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  const std::size_t colon = line.find(':', equals + 1);
  if (colon == std::string_view::npos) return std::nullopt;
  std::optional<std::string> name = unescape_name(line.substr(0, equals));
  const std::optional<std::uint32_t> type = parse_type(line.substr(equals + 1, colon - equals - 1));
  std::optional<std::vector<std::uint8_t>> bytes = parse_bytes(line.substr(colon + 1));
  if (!name || !type || !bytes) return std::nullopt;
  return StoredValue{std::move(*name), RegValue{*type, std::move(*bytes)}};
}

void add_key_with_parents(Store& store, const KeyId& id, const StoredKey& key);

Store parse_store(std::string_view text) {
  Store store;
  std::vector<std::string> lines = split(text, '\n');
  for (std::string& line : lines) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }
  if (lines.empty() || lines.front() != kHeader) return store;
  StoredKey* current = nullptr;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[' && line.size() >= 2 && line.back() == ']') {
      current = nullptr;
      if (auto parsed = parse_key_line(line)) {
        add_key_with_parents(store, parsed->first, parsed->second);
        current = &store.at(parsed->first);
      }
      continue;
    }
    if (!current) continue;
    if (std::optional<StoredValue> parsed = parse_value_line(line)) {
      if (StoredValue* existing = find_value(*current, parsed->name)) {
        existing->value = std::move(parsed->value);
      } else {
        current->values.push_back(std::move(*parsed));
      }
    }
  }
  return store;
}

std::string format_store(const Store& store) {
  std::string out(kHeader);
  out +=
      "\n; [root\\key] starts a key; each line below it is one value of that key:"
      "\n; name=type:data bytes in hex. %XX in a name stands for one byte.\n";
  for (const auto& [id, key] : store) {
    out += '[';
    for (const auto& [root, name] : kRootNames) {
      if (static_cast<std::uint32_t>(root) == id.first) out += name;
    }
    if (!key.path.empty()) {
      for (const std::string& component : split(key.path, '\\')) {
        out += '\\';
        out += escape_name(component, false);
      }
    }
    out += "]\n";
    for (const StoredValue& v : key.values) {
      out += escape_name(v.name, true);
      out += '=';
      out += type_text(v.value.type);
      out += ':';
      for (std::size_t i = 0; i < v.value.data.size(); ++i) {
        if (i > 0) out += ' ';
        append_hex_byte(out, v.value.data[i]);
      }
      out += '\n';
    }
  }
  return out;
}

// Keys listed in the file bring every key above them into existence, as
// creating them did.
void add_key_with_parents(Store& store, const KeyId& id, const StoredKey& key) {
  const std::vector<std::string> components = split(key.path, '\\');
  KeyId prefix{id.first, {}};
  std::string path;
  for (std::size_t i = 0; i < id.second.size(); ++i) {
    prefix.second.push_back(id.second[i]);
    if (!path.empty()) path.push_back('\\');
    path += components[i];
    store.try_emplace(prefix, StoredKey{path, {}});
  }
  store.try_emplace(id, StoredKey{key.path, {}});
}

// File ----------------------------------------------------------------------

std::string read_whole_file(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string text;
  if (!in) return text;
  std::array<char, 4096> chunk{};
  while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
    text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
  }
  return text;
}

Store load(const std::filesystem::path& file) { return parse_store(read_whole_file(file)); }

// Writes beside the store and renames over it, so that a failure at any point
// leaves the old store whole.
void save(const std::filesystem::path& file, const Store& store) {
  std::filesystem::path temporary = file;
  temporary += ".tmp";
  const std::string text = format_store(store);
  bool written = false;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (out) {
      out.write(text.data(), static_cast<std::streamsize>(text.size()));
      out.flush();
      written = static_cast<bool>(out);
    }
  }
  std::error_code error;
  if (written) std::filesystem::rename(temporary, file, error);
  if (!written || error) std::filesystem::remove(temporary, error);
}

StoredKey* find_key(Store& store, RegRoot root, const std::string& path) {
  const auto components = split_key_path(path);
  if (!components) return nullptr;
  const auto it = store.find(key_id(root, *components));
  if (it != store.end()) return &it->second;
  if (!components->empty()) return nullptr;
  // The roots exist without being listed.
  return &store.try_emplace(key_id(root, {}), StoredKey{}).first->second;
}

}  // namespace

FileRegistry::FileRegistry(std::filesystem::path store) : store_(std::move(store)) {}

std::optional<RegValue> FileRegistry::read(RegRoot root, const std::string& path,
                                           const std::string& name) {
  Store store = load(store_);
  StoredKey* key = find_key(store, root, path);
  if (!key) return std::nullopt;
  const StoredValue* value = find_value(*key, name);
  if (!value) return std::nullopt;
  return value->value;
}

void FileRegistry::write(RegRoot root, const std::string& path, const std::string& name,
                         const RegValue& value) {
  const auto components = split_key_path(path);
  if (!components) return;
  Store store = load(store_);
  const KeyId id = key_id(root, *components);
  // New keys take the spelling given here; existing ones keep their own.
  StoredKey wanted;
  KeyId prefix{id.first, {}};
  for (std::size_t i = 0; i < components->size(); ++i) {
    prefix.second.push_back(id.second[i]);
    const auto existing = store.find(prefix);
    if (existing != store.end()) {
      wanted.path = existing->second.path;
    } else {
      if (!wanted.path.empty()) wanted.path.push_back('\\');
      wanted.path += (*components)[i];
      store.emplace(prefix, StoredKey{wanted.path, {}});
    }
  }
  StoredKey& key = store.try_emplace(id, StoredKey{wanted.path, {}}).first->second;
  if (StoredValue* existing = find_value(key, name)) {
    existing->value = value;
  } else {
    key.values.push_back(StoredValue{name, value});
  }
  save(store_, store);
}

void FileRegistry::remove(RegRoot root, const std::string& path, const std::string& name) {
  Store store = load(store_);
  StoredKey* key = find_key(store, root, path);
  if (!key) return;
  const auto it = std::find_if(key->values.begin(), key->values.end(),
                               [&](const StoredValue& v) { return same_name(v.name, name); });
  if (it == key->values.end()) return;
  key->values.erase(it);
  save(store_, store);
}

bool FileRegistry::key_exists(RegRoot root, const std::string& path) {
  Store store = load(store_);
  return find_key(store, root, path) != nullptr;
}

}  // namespace proxanto
