// The acquisition command of the main window.
#include "acquire/GetDataUnit.h"
#include "app/Main.h"
#include "automation/AutoWatch.h"

namespace tavolen {

void TMainForm::OpenAcquisition() {
  // Created anew on each opening and freed on close; closing rebuilds the date list, where
  // the day being watched stays selected.
  TGetDataForm form(
      JVLink1, desktop_, IniGT1, clock_, DataFolder(), acquisition_,
      [this] {
        MakeDataListBtnClick();
        KeepLoadedDaySelected();
      },
      this);
  acquisitionWindowOpen_ = true;
  RunModal(form);
  acquisitionWindowOpen_ = false;
}

bool TMainForm::AcquisitionHoldsSession() const {
  return (acquisitionWindowOpen_ && acquisition_.sessionOpen) ||
         (autoWatch_ && autoWatch_->Acquiring());
}

}  // namespace tavolen
