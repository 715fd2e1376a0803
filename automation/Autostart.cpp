#include "automation/Autostart.h"

#include <algorithm>

namespace tavolen {
namespace {

// Whether text is well-formed UTF-8 without control characters.
bool PrintableUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x20 || b == 0x7F) return false;
    size_t len = b < 0x80           ? 1
                 : (b >> 5) == 0x6  ? 2
                 : (b >> 4) == 0xE  ? 3
                 : (b >> 3) == 0x1E ? 4
                                    : 0;
    if (len == 0 || i + len > text.size()) return false;
    for (size_t k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += len;
  }
  return true;
}

// A value of a desktop entry as its string type stores it: a backslash is doubled. (The
// written values hold no other character that needs an escape.)
std::string EscapeString(std::string_view value) {
  std::string out;
  for (char c : value) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::string UnescapeString(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (const char next = value[++i]) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += '\\';
        out += next;
        break;
    }
  }
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// Calls onKey(key, value) for every key of the group [Desktop Entry].
template <typename F>
void ForEachMainKey(std::string_view entry, F onKey) {
  bool inMain = false;
  while (!entry.empty()) {
    const size_t end = std::min(entry.find('\n'), entry.size());
    const std::string_view line = Trim(entry.substr(0, end));
    entry.remove_prefix(std::min(end + 1, entry.size()));
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      inMain = line == "[Desktop Entry]";
      continue;
    }
    const size_t eq = line.find('=');
    if (inMain && eq != std::string_view::npos)
      onKey(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
  }
}

char16_t PathCharKey(char16_t c) {
  if (c == u'/') return u'\\';
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c - u'A' + u'a');
  return c;
}

}  // namespace

bool StartedAtSignIn(const std::vector<std::string>& arguments) {
  return std::find(arguments.begin(), arguments.end(), kAtSignInArgument) != arguments.end();
}

fs::path AutostartFolder(std::string_view xdgConfigHome, const fs::path& home) {
  if (!xdgConfigHome.empty() && xdgConfigHome.front() == '/')
    return fs::path(std::string(xdgConfigHome)) / "autostart";
  if (home.empty()) return {};
  return home / ".config" / "autostart";
}

std::optional<std::string> AutostartDesktopEntry(std::string_view program) {
  if (program.empty() || program.front() != '/' || !PrintableUtf8(program)) return std::nullopt;
  // Exec's quoting: inside double quotes, " ` $ and \ take a backslash; a literal % is %%.
  std::string exec = "\"";
  for (char c : program) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') exec += '\\';
    exec += c;
    if (c == '%') exec += '%';
  }
  exec += "\" ";
  exec += kAtSignInArgument;
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Version=1.4\n"
         "Name=Tavolen\n"
         "Name[ja]=Tavolen 変更情報モニター\n"
         "Comment=Starts Tavolen in the tray at sign-in to watch the race day's changes\n"
         "Comment[ja]=ログイン時に Tavolen をタスクトレイで起動し、開催日の変更情報を見張ります\n"
         // A program that was moved or removed is skipped at sign-in instead of failing.
         "TryExec=" +
         EscapeString(program) +
         "\n"
         "Exec=" +
         EscapeString(exec) +
         "\n"
         "Icon=tavolen\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

std::string DesktopEntryProgram(std::string_view entry) {
  std::string exec;
  ForEachMainKey(entry, [&exec](std::string_view key, std::string_view value) {
    if (key == "Exec" && exec.empty()) exec = UnescapeString(value);
  });
  std::string program;
  size_t i = 0;
  if (!exec.empty() && exec.front() == '"') {
    for (i = 1; i < exec.size() && exec[i] != '"'; ++i) {
      if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
      program += exec[i];
    }
  } else {
    program = exec.substr(0, exec.find(' '));
  }
  // Field codes: %% is a literal %.
  std::string out;
  for (size_t k = 0; k < program.size(); ++k) {
    out += program[k];
    if (program[k] == '%' && k + 1 < program.size() && program[k + 1] == '%') ++k;
  }
  return out;
}

bool DesktopEntryStarts(std::string_view entry, std::string_view program) {
  bool switchedOff = false;
  ForEachMainKey(entry, [&switchedOff](std::string_view key, std::string_view value) {
    if ((key == "Hidden" && value == "true") ||
        (key == "X-GNOME-Autostart-enabled" && value == "false"))
      switchedOff = true;
  });
  return !switchedOff && !program.empty() && DesktopEntryProgram(entry) == program;
}

std::u16string RunValueCommand(std::u16string_view program) {
  std::u16string value = u"\"";
  value += program;
  value += u"\" ";
  for (const char* a = kAtSignInArgument; *a; ++a) value += static_cast<char16_t>(*a);
  return value;
}

bool RunValueStarts(std::u16string_view value, std::u16string_view program) {
  while (!value.empty() && value.front() == u' ') value.remove_prefix(1);
  std::u16string_view first;
  if (!value.empty() && value.front() == u'"') {
    value.remove_prefix(1);
    first = value.substr(0, value.find(u'"'));
  } else {
    first = value.substr(0, value.find(u' '));
  }
  if (program.empty() || first.size() != program.size()) return false;
  for (size_t i = 0; i < first.size(); ++i)
    if (PathCharKey(first[i]) != PathCharKey(program[i])) return false;
  return true;
}

bool StartupApprovedOn(const std::optional<std::string>& bytes) {
  if (!bytes || bytes->empty()) return true;
  return (static_cast<unsigned char>(bytes->front()) & 1) == 0;
}

std::string StartupApprovedOnBytes() {
  std::string bytes(12, '\0');
  bytes[0] = '\x02';
  return bytes;
}

}  // namespace tavolen
