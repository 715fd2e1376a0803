#include "base/FailureText.h"

#include <cerrno>
#include <map>
#include <string>

namespace tavolen {
namespace {

SjisString WithReason(const char* what, const SjisString& detail, int systemError) {
  return Sj(what) + detail + Sj("（") + SystemErrorText(systemError) + Sj("）");
}

}  // namespace

SjisString SystemErrorText(int systemError) {
  static const std::map<int, const char*> texts = {
      {ENOSPC, "ディスクの空き容量が足りません"},
#ifdef EDQUOT
      {EDQUOT, "ディスクの空き容量が足りません"},
#endif
      {EACCES, "書き込みが許可されていません"},   {EPERM, "書き込みが許可されていません"},
      {EROFS, "読み取り専用のディスクです"},      {EFBIG, "ファイルが大きすぎます"},
      {EIO, "ディスクの読み書きに失敗しました"},  {ENOENT, "フォルダが見つかりません"},
      {ENOTDIR, "同じ名前のファイルがあります"},  {EEXIST, "同じ名前のファイルがあります"},
      {ENAMETOOLONG, "名前が長すぎます"},         {EMFILE, "開いているファイルが多すぎます"},
      {ENFILE, "開いているファイルが多すぎます"},
  };
  const auto it = texts.find(systemError);
  return it != texts.end() ? Sj(it->second) : Sj("システムエラー ") + std::to_string(systemError);
}

SjisString FailureText(const FileStatus& status) {
  const SjisString& d = status.detail;
  switch (status.reason) {
    case FileError::None:
      return {};
    case FileError::Open:
      return Sj("ファイルを開けませんでした：") + d;
    case FileError::Read:
      return Sj("ファイルを読み込めませんでした：") + d;
    case FileError::Write:
      return WithReason("ファイルを保存できませんでした：", d, status.systemError);
    case FileError::Folder:
      return WithReason("フォルダを作成できませんでした：", d, status.systemError);
    case FileError::SettingsRead:
      return Sj("設定ファイルを読み込めませんでした：") + d;
    case FileError::SettingsEntry:
      return Sj("設定ファイルに書き込めない項目です：") + d;
    case FileError::LogRead:
      return Sj("エラーログを読み込めませんでした：") + d;
    case FileError::LogSave:
      return Sj("エラーログを保存できませんでした。") +
             WithReason("ファイルを保存できませんでした：", d, status.systemError);
    case FileError::RenewText:
      return Sj("更新ファイルに書けない文字があります：") + d;
    case FileError::ChangeRead:
      return Sj("変更情報ファイルを読み込めませんでした：") + d;
    case FileError::AppFolderMissing:
      return Sj("アプリケーションフォルダがありません。");
    case FileError::AppFolderCreate:
      return Sj("アプリケーションフォルダを作成できません。\n") + d;
    case FileError::AppFolderEnter:
      return Sj("アプリケーションフォルダに移動できません。\n") + d;
  }
  return d;
}

}  // namespace tavolen
