// The acquisition command of the main window.
#include "app/Main.h"

namespace tavolen {

void TMainForm::OpenAcquisition() {
  desktop_.InformationBox(Sj("ＪＶデータ取得の画面はまだ組み込まれていません。"));
}

}  // namespace tavolen
