// Where the program keeps its files. A portable program (its folder writable) keeps everything
// beside the executable, as it always has. An installed program (its folder not writable, or
// marked as installed by the install rules or the Windows installer) keeps the user's files --
// settings file, error log, Data, Favourites.txt, the sounds the user replaced -- in a per-user
// folder, and reads its own read-only files (notify.wav, the user guide, a Tavolen.CHM) from the
// install's share folder (on Windows the program's own folder). It never writes beside itself.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "jvlink/FileIO.h"

namespace tavolen {

enum class FolderLayout { Portable, Installed };

struct AppFolders {
  FolderLayout layout = FolderLayout::Portable;
  fs::path appFolder;       // settings file, error log, Data; made the current directory
  fs::path resourceFolder;  // the program's read-only files
};

// The file the install rules put into the share folder (on Windows the installer beside
// Tavolen.exe); its presence alone makes the layout "installed", also for root or an
// administrator, who may write anywhere.
inline constexpr const char* kInstalledMarker = "installed-layout";

// Whose conventions place the per-user folder: the XDG base directories (Linux) or Windows'
// local application data.
enum class FolderRules { Xdg, Windows };
#if defined(_WIN32)
inline constexpr FolderRules kSystemFolderRules = FolderRules::Windows;
#else
inline constexpr FolderRules kSystemFolderRules = FolderRules::Xdg;
#endif

// The per-user folder's name: "tavolen" under $XDG_DATA_HOME, "Tavolen" under %LOCALAPPDATA%.
const char* UserFolderName(FolderRules rules);

// What the layout is decided from; ReadLayoutInputs fills it from the running system.
struct LayoutInputs {
  FolderRules rules = kSystemFolderRules;
  fs::path exeFolder;    // the folder of the executable
  fs::path shareFolder;  // where an install keeps the read-only files
  bool exeFolderWritable = true;
  bool installedMarker = false;  // shareFolder / kInstalledMarker exists
  std::string dataHome;          // $XDG_DATA_HOME or %LOCALAPPDATA%; empty when unset
  std::string home;              // $HOME (or the account's home folder) or %USERPROFILE%
};

// The decision, without touching the file system. Installed, XDG: $XDG_DATA_HOME/tavolen when
// that variable holds an absolute path, else <home>/.local/share/tavolen. Installed, Windows:
// %LOCALAPPDATA%\Tavolen, else <home>\AppData\Local\Tavolen. nullopt: an installed program with no
// usable home folder, which has nowhere to keep its files.
std::optional<AppFolders> ChooseAppFolders(const LayoutInputs& in);

// The inputs of the running program: exeFolder and shareFolder = exeFolder / shareFromBin
// (normalised), the writability of exeFolder (access(2)), the marker and the environment.
LayoutInputs ReadLayoutInputs(const fs::path& exeFolder, const fs::path& shareFromBin);

// Creates the application folder when it is missing (with its parents, for the per-user one)
// and makes it the current directory. A failure carries a Japanese message.
FileStatus EnterAppFolder(const AppFolders& folders);

// A read-only file of the program: the user's own copy in the application folder wins (a
// Tavolen.CHM or notify.wav the user put there), otherwise the program's resource folder.
fs::path ResourceFile(const AppFolders& folders, const fs::path& name);

// Why an installed program found no per-user folder and what to set (UTF-8).
std::string NoUserFolderText(FolderRules rules);

// The text the version box shows: which layout and the application folder.
std::string FolderLayoutName(FolderLayout layout);  // UTF-8: "ポータブル" / "インストール版"

}  // namespace tavolen
