// Start at sign-in on Linux: a desktop entry in the user's XDG autostart folder, which the
// desktop's session runs at sign-in. The entry is written whole and atomically like every file
// of the program; the desktops' own start-up settings switch it off with Hidden=true or
// X-GNOME-Autostart-enabled=false, which the check mark then shows.
#include <cstdlib>

#include "automation/Autostart.h"
#include "base/FailureText.h"
#include "jvlink/FileIO.h"
#include "jvlink/Platform.h"

namespace tavolen {
namespace {

// Creates folder and its missing parents, one level at a time.
FileStatus MakeFolders(const fs::path& folder) {
  std::error_code ec;
  if (fs::is_directory(folder, ec)) return FileStatus::Ok();
  if (folder.has_parent_path() && folder.parent_path() != folder)
    if (FileStatus st = MakeFolders(folder.parent_path()); !st) return st;
  return EnsureFolder(folder);
}

class XdgAutostartEntry : public AutostartEntry {
 public:
  XdgAutostartEntry(fs::path folder, fs::path program)
      : folder_(std::move(folder)), program_(std::move(program)) {}

  bool On() const override {
    std::string text;
    if (folder_.empty() || !ReadWholeFile(File(), text)) return false;
    return DesktopEntryStarts(text, Utf8Text(program_));
  }

  AutostartStatus TurnOn() override {
    if (folder_.empty())
      return AutostartStatus::Fail(
          Sj("ホームフォルダが分からないため、自動起動の設定を置く場所がありません。\n環境変数 "
             "HOME か XDG_CONFIG_HOME を設定してください。"));
    const std::optional<std::string> entry = AutostartDesktopEntry(Utf8Text(program_));
    if (!entry)
      return AutostartStatus::Fail(Sj("このプログラムの場所は自動起動の設定に書けません：") +
                                   PathText(program_));
    FileStatus st = MakeFolders(folder_);
    if (st) st = WriteFileAtomic(File(), *entry);
    if (!st) return AutostartStatus::Fail(FailureText(st));
    return {};
  }

  AutostartStatus TurnOff() override {
    if (folder_.empty()) return {};
    std::error_code ec;
    fs::remove(File(), ec);
    if (!ec) return {};
    return AutostartStatus::Fail(Sj("ファイルを削除できませんでした：") + PathText(File()) +
                                 Sj("（") + SystemErrorText(ec.value()) + Sj("）"));
  }

 private:
  fs::path File() const { return folder_ / kAutostartFileName; }

  fs::path folder_;
  fs::path program_;
};

}  // namespace

std::unique_ptr<AutostartEntry> SystemAutostartEntry(const fs::path& program) {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  return std::make_unique<XdgAutostartEntry>(
      AutostartFolder(configHome ? configHome : "", HomeFolder()), program);
}

}  // namespace tavolen
