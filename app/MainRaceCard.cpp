// Handlers of the race card viewer: meeting dates, meeting load, race list and race card.
#include <QHeaderView>
#include <algorithm>

#include "app/Main.h"
#include "app/Widgets.h"

namespace tavolen {

void TMainForm::SetupRaceCardGrid() {
  static const char* const headers[9] = {"枠",   "馬",     "馬名",  "性齢", "斤量",
                                         "騎手", "調教師", "ﾌﾞﾘﾝｶ", "見習"};
  static const int widths[9] = {20, 20, 150, 30, 45, 55, 55, 40, 55};
  StringGrid2->setColumnCount(9);
  StringGrid2->setRowCount(0);
  for (int c = 0; c < 9; ++c) {
    StringGrid2->setHorizontalHeaderItem(c, new QTableWidgetItem(Qs(Sj(headers[c]))));
    StringGrid2->setColumnWidth(c, widths[c]);
  }
  StringGrid2->verticalHeader()->setVisible(false);
  StringGrid2->setFont(GothicFont(12));
  StringGrid2->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGrid2->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

// The dates of the day files in the data folder, newest first; nothing selected.
void TMainForm::MakeDataListBtnClick() {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto it = fs::directory_iterator(DataFolder(), ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code fec;
    if (!it->is_regular_file(fec)) continue;
    const SjisString name = PathText(it->path().filename());
    if (name.size() > 5 && name.ends_with(".jvRA")) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  DateCombo->clear();
  for (auto n = names.rbegin(); n != names.rend(); ++n) DateCombo->addItem(Qs(n->substr(0, 14)));
  DateCombo->setCurrentIndex(-1);
}

void TMainForm::IniBtnClick() {}
void TMainForm::ReadBtnClick() {}
void TMainForm::DateComboChange() {}

void TMainForm::UpDown1Click() {
  if (DatList->count() < 2) return;
  if (UpDown1.Position < 0 || UpDown1.Position >= DatList->count()) return;
  DatList->setCurrentRow(UpDown1.Position);
  DatListClick();
}

void TMainForm::N5Click() {
  N5->setChecked(!N5->isChecked());
  if (FileStatus st = IniGT1.WriteBool("datalist", "close", N5->isChecked()); !st)
    desktop_.ErrorBox(st.message);
}

void TMainForm::SpeedButton8Click() {
  Panel5->setVisible(!Panel5->isVisible());
}

void TMainForm::DatListClick() {}
void TMainForm::StringGrid2MouseUp(Qt::MouseButton, const QPoint&) {}
void TMainForm::N18Click() {}

}  // namespace tavolen
