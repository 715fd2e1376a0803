#include "app/AppFolders.h"

#include "jvlink/Platform.h"

namespace tavolen {

const char* UserFolderName(FolderRules rules) {
  return rules == FolderRules::Windows ? "Tavolen" : "tavolen";
}

std::optional<AppFolders> ChooseAppFolders(const LayoutInputs& in) {
  if (in.exeFolderWritable && !in.installedMarker)
    return AppFolders{FolderLayout::Portable, in.exeFolder, in.exeFolder};
  fs::path dataHome;
  // A relative setting is invalid and ignored, as the base directory rules say; the home
  // folder's default place is taken instead.
  if (!in.dataHome.empty() && Utf8Path(in.dataHome).is_absolute())
    dataHome = Utf8Path(in.dataHome);
  else if (!in.home.empty() && Utf8Path(in.home).is_absolute())
    dataHome = in.rules == FolderRules::Windows ? Utf8Path(in.home) / "AppData" / "Local"
                                                : Utf8Path(in.home) / ".local" / "share";
  else
    return std::nullopt;
  return AppFolders{FolderLayout::Installed,
                    (dataHome / UserFolderName(in.rules)).lexically_normal(), in.shareFolder};
}

std::string NoUserFolderText(FolderRules rules) {
  return rules == FolderRules::Windows
             ? "データを置くフォルダが決められません。\n環境変数 LOCALAPPDATA か USERPROFILE "
               "を設定してください。"
             : "データを置くフォルダが決められません。\n環境変数 HOME か XDG_DATA_HOME "
               "を設定してください。";
}

LayoutInputs ReadLayoutInputs(const fs::path& exeFolder, const fs::path& shareFromBin) {
  LayoutInputs in;
  in.exeFolder = exeFolder;
  in.shareFolder = (exeFolder / shareFromBin).lexically_normal();
  in.exeFolderWritable = FolderWritable(exeFolder);
  std::error_code ec;
  in.installedMarker = fs::is_regular_file(in.shareFolder / kInstalledMarker, ec);
  in.dataHome = UserDataHomeSetting();
  in.home = Utf8Text(HomeFolder());
  return in;
}

FileStatus EnterAppFolder(const AppFolders& folders) {
  std::error_code ec;
  if (folders.appFolder.empty()) return FileStatus::Fail(FileError::AppFolderMissing);
  fs::create_directories(folders.appFolder, ec);
  if (ec || !fs::is_directory(folders.appFolder))
    return FileStatus::Fail(FileError::AppFolderCreate, PathText(folders.appFolder));
  fs::current_path(folders.appFolder, ec);
  if (ec) return FileStatus::Fail(FileError::AppFolderEnter, PathText(folders.appFolder));
  return {};
}

fs::path ResourceFile(const AppFolders& folders, const fs::path& name) {
  std::error_code ec;
  const fs::path own = folders.appFolder / name;
  if (folders.layout == FolderLayout::Portable || fs::exists(own, ec)) return own;
  return folders.resourceFolder / name;
}

std::string FolderLayoutName(FolderLayout layout) {
  return layout == FolderLayout::Installed ? "インストール版" : "ポータブル";
}

}  // namespace tavolen
