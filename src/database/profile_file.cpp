#include "database/profile_file.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "app/text.h"

namespace proxanto {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The platform's profile functions treat these as blanks, Ctrl+Z included
// (the end-of-file mark of old editors); no other control character.
bool is_profile_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1a';
}

// The platform keeps names and values as C strings: a NUL ends them.
std::string_view cut_at_nul(std::string_view text) { return text.substr(0, text.find('\0')); }

// Names as the lookups give them: blanks around them do not count.
std::string_view requested_name(std::string_view name) {
  return trim_profile_spaces(cut_at_nul(name));
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The UTF-16 code units of each character, the unit in which the platform
// counts a buffer. A byte that starts no valid sequence converts to one unit.
template <typename Visit>
void for_each_char(std::string_view text, Visit visit) {
  for (std::size_t i = 0; i < text.size();) {
    const Utf8Char c = next_utf8_char(text, i);
    if (!visit(i, c.bytes, c.code_point >= 0x10000 ? 2 : 1)) return;
    i += c.bytes;
  }
}

std::size_t utf16_units(std::string_view text) {
  std::size_t units = 0;
  for_each_char(text, [&](std::size_t, std::size_t, std::size_t n) {
    units += n;
    return true;
  });
  return units;
}

// The longest prefix of `text` that fits in `units` UTF-16 code units; a
// character is never split.
std::string_view cut_to_units(std::string_view text, std::size_t units) {
  if (text.size() <= units) return text;  // never more units than bytes
  std::size_t end = 0;
  std::size_t used = 0;
  for_each_char(text, [&](std::size_t at, std::size_t bytes, std::size_t n) {
    if (used + n > units) return false;
    used += n;
    end = at + bytes;
    return true;
  });
  return text.substr(0, end);
}

std::string_view drop_last_char(std::string_view text) {
  std::size_t last = 0;
  for_each_char(text, [&](std::size_t at, std::size_t, std::size_t) {
    last = at;
    return true;
  });
  return text.substr(0, last);
}

// What GetPrivateProfileString copies into a buffer of `size` characters.
// Enclosing quotes come off; the platform cuts to size - 1 while the closing
// quote is still there and then drops the last character, so a quoted value
// of exactly size - 1 characters loses its own last one.
std::string copy_entry(std::string_view value, std::size_t size) {
  if (size == 0) return {};
  const std::size_t room = size - 1;
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    const std::string_view inner = value.substr(1, value.size() - 2);
    const std::string_view cut = cut_to_units(inner, room);
    if (cut.size() < inner.size()) return std::string(cut);
    return std::string(utf16_units(inner) == room ? drop_last_char(inner) : inner);
  }
  return std::string(cut_to_units(value, room));
}

// One line of a profile file as byte offsets: [begin, end) is its text,
// [end, next) its line break. CR, LF and CR LF all end a line.
struct Line {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t next = 0;
};

Line line_at(std::string_view text, std::size_t begin) {
  Line line{begin, begin, begin};
  while (line.end < text.size() && text[line.end] != '\r' && text[line.end] != '\n') {
    ++line.end;
  }
  line.next = line.end;
  if (line.next < text.size()) {
    line.next +=
        text[line.next] == '\r' && line.next + 1 < text.size() && text[line.next + 1] == '\n' ? 2
                                                                                              : 1;
  }
  return line;
}

enum class LineKind { Blank, Section, Key };

struct ParsedLine {
  LineKind kind = LineKind::Blank;
  std::string_view name;   // section or key name
  std::string_view value;  // key lines with "="
  bool has_value = false;
};

// A line that starts with "[" and has a "]" names a section: the text up to
// the last "]", blanks around it removed. Any other line is a key line, split
// at its first "="; without one it is a key without a value.
ParsedLine parse_line(std::string_view line) {
  line = trim_profile_spaces(line);
  ParsedLine parsed;
  if (line.empty()) return parsed;
  if (line.front() == '[') {
    const std::size_t close = line.rfind(']');
    if (close != std::string_view::npos) {
      parsed.kind = LineKind::Section;
      parsed.name = cut_at_nul(trim_profile_spaces(line.substr(1, close - 1)));
      return parsed;
    }
  }
  parsed.kind = LineKind::Key;
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) {
    parsed.name = cut_at_nul(line);
    return parsed;
  }
  parsed.name = cut_at_nul(trim_profile_spaces(line.substr(0, equals)));
  parsed.value = cut_at_nul(trim_profile_spaces(line.substr(equals + 1)));
  parsed.has_value = true;
  return parsed;
}

std::size_t content_start(std::string_view text) {
  return text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
}

// RtlUnicodeStringToInteger with base 0, as GetPrivateProfileInt uses it:
// leading control characters and spaces skipped, an optional sign, "0x",
// "0o" and "0b" select the base, digits up to the first that does not fit;
// the total wraps around in 32 bits.
int profile_integer(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::uint32_t base = 10;
  if (text.size() - i >= 2 && text[i] == '0') {
    const char mark = text[i + 1];
    base = mark == 'x' ? 16 : mark == 'o' ? 8 : mark == 'b' ? 2 : 10;
    if (base != 10) i += 2;
  }
  std::uint32_t total = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    std::uint32_t digit = 99;
    if (c >= '0' && c <= '9')
      digit = static_cast<std::uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'z')
      digit = static_cast<std::uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'Z')
      digit = static_cast<std::uint32_t>(c - 'A' + 10);
    if (digit >= base) break;
    total = total * base + digit;
  }
  return static_cast<int>(negative ? 0u - total : total);
}

// The platform reads the value for GetPrivateProfileInt into 30 characters.
constexpr std::size_t kIntBufferSize = 30;

// The platform also reads profile files saved as UTF-16 (Notepad's
// "Unicode"), told by their byte-order mark. They are read as UTF-8 text and
// written back in their own encoding.
enum class FileEncoding { Bytes, Utf16Le, Utf16Be };

FileEncoding encoding_of(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) return FileEncoding::Utf16Le;
  if (bytes.starts_with("\xFE\xFF")) return FileEncoding::Utf16Be;
  return FileEncoding::Bytes;
}

std::string decode_file(std::string_view bytes, FileEncoding encoding) {
  if (encoding == FileEncoding::Bytes) return std::string(bytes);
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(static_cast<char16_t>(encoding == FileEncoding::Utf16Le ? a | (b << 8)
                                                                             : (a << 8) | b));
  }
  return utf16_to_utf8(units);
}

std::string encode_file(std::string_view text, FileEncoding encoding) {
  if (encoding == FileEncoding::Bytes) return std::string(text);
  std::string bytes = encoding == FileEncoding::Utf16Le ? "\xFF\xFE" : "\xFE\xFF";
  for (const char16_t unit : utf8_to_utf16(text)) {
    const char low = static_cast<char>(unit & 0xFF);
    const char high = static_cast<char>(unit >> 8);
    bytes.push_back(encoding == FileEncoding::Utf16Le ? low : high);
    bytes.push_back(encoding == FileEncoding::Utf16Le ? high : low);
  }
  return bytes;
}

}  // namespace

std::string_view trim_profile_spaces(std::string_view text) {
  while (!text.empty() && is_profile_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_profile_space(text.back())) text.remove_suffix(1);
  return text;
}

void for_each_key(std::string_view text, std::string_view section,
                  const std::function<void(const ProfileKey&)>& visit) {
  section = requested_name(section);
  // The lines before the first section line form the nameless section, and
  // only the first section of a name is ever read.
  bool inside = section.empty();
  for (std::size_t pos = content_start(text); pos < text.size();) {
    const Line line = line_at(text, pos);
    pos = line.next;
    const std::string_view raw = text.substr(line.begin, line.end - line.begin);
    const ParsedLine parsed = parse_line(raw);
    if (parsed.kind == LineKind::Section) {
      if (inside) return;
      inside = same_name(parsed.name, section);
    } else if (parsed.kind == LineKind::Key && inside) {
      visit(ProfileKey{parsed.name, parsed.value, parsed.has_value});
    }
  }
}

std::string profile_value(std::string_view value, std::size_t size) { return copy_entry(value, size); }

int profile_number(std::string_view value) {
  return profile_integer(copy_entry(value, kIntBufferSize));
}

std::string profile_text(std::string bytes) {
  const FileEncoding encoding = encoding_of(bytes);
  return encoding == FileEncoding::Bytes ? std::move(bytes) : decode_file(bytes, encoding);
}

std::string ProfileFile::get_string(std::string_view section, std::string_view key,
                                    std::string_view default_value, std::size_t size) const {
  // The first line of the key decides, even one without a value.
  key = requested_name(key);
  std::optional<ProfileKey> found;
  for_each_key(text_, section, [&](const ProfileKey& line) {
    if (!found && same_name(line.name, key)) found = line;
  });
  if (found && found->has_value) return copy_entry(found->value, size);
  // The platform drops trailing spaces of the default, but never its first
  // character.
  default_value = cut_at_nul(default_value);
  while (default_value.size() > 1 && default_value.back() == ' ') default_value.remove_suffix(1);
  return copy_entry(default_value, size);
}

int ProfileFile::get_int(std::string_view section, std::string_view key, int default_value) const {
  const std::string text = get_string(section, key, {}, kIntBufferSize);
  if (text.empty()) return default_value;
  return profile_integer(text);
}

ProfileFile parse_profile(std::string bytes) { return ProfileFile(profile_text(std::move(bytes))); }

std::string profile_with_value(std::string_view contents, std::string_view section,
                               std::string_view key, std::string_view value) {
  section = requested_name(section);
  key = requested_name(key);

  const std::size_t start = content_start(contents);
  // New lines take the file's own line break; Windows programs write CR LF.
  std::string_view line_break = "\r\n";
  if (const Line first = line_at(contents, start); first.next > first.end) {
    line_break = contents.substr(first.end, first.next - first.end);
  }

  // The lines before the first section line form the nameless section; only
  // the first section of the name is searched, as by the reader.
  bool in_target = section.empty();
  bool target_seen = in_target;
  std::size_t insert_at = start;  // after the target's last non-blank line
  bool insert_needs_break = false;
  std::optional<Line> key_line;
  ParsedLine key_parsed;

  for (std::size_t pos = start; pos < contents.size();) {
    const Line line = line_at(contents, pos);
    pos = line.next;
    const ParsedLine parsed = parse_line(contents.substr(line.begin, line.end - line.begin));
    if (parsed.kind == LineKind::Blank) continue;
    if (parsed.kind == LineKind::Section) {
      if (in_target) break;
      in_target = target_seen = same_name(parsed.name, section);
    } else if (!in_target) {
      continue;
    } else if (same_name(parsed.name, key)) {
      key_line = line;
      key_parsed = parsed;
      break;
    }
    if (in_target) {
      insert_at = line.next;
      insert_needs_break = line.next == line.end;
    }
  }

  std::string out;
  out.reserve(contents.size() + section.size() + key.size() + value.size() + 8);
  if (key_line) {
    if (key_parsed.has_value && key_parsed.value == value) return std::string(contents);
    out.append(contents.substr(0, key_line->begin));
    out.append(key_parsed.name).append("=").append(value);
    out.append(contents.substr(key_line->end));
    return out;
  }
  if (target_seen) {
    out.append(contents.substr(0, insert_at));
    if (insert_needs_break) out.append(line_break);
    out.append(key).append("=").append(value).append(line_break);
    out.append(contents.substr(insert_at));
    return out;
  }
  out.append(contents);
  if (out.size() > start && out.back() != '\n' && out.back() != '\r') out.append(line_break);
  out.append("[").append(section).append("]").append(line_break);
  out.append(key).append("=").append(value).append(line_break);
  return out;
}

bool write_profile_string(FileSystemPort& files, const std::string& path, std::string_view section,
                          std::string_view key, std::string_view value) {
  const std::optional<std::string> old = files.read_file(path, kMaxProfileBytes);
  // A file that is there but cannot be read must not be replaced by one key.
  if (!old && files.file_exists(path)) return false;
  const FileEncoding encoding = old ? encoding_of(*old) : FileEncoding::Bytes;
  const std::string text = old ? decode_file(*old, encoding) : std::string();
  const std::string updated = profile_with_value(text, section, key, value);
  if (old && updated == text) return true;
  return files.replace_file(path, encode_file(updated, encoding));
}

}  // namespace proxanto
