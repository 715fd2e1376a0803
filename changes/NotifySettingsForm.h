// The notification settings window: which kinds of change ring (a notification and a sound),
// and whether only changes about a favourite do. A change that does not ring is still listed in
// the change window and remembered as announced.
//
// Controls: WeatherBox, ScratchBox, JockeyBox, PostTimeBox, CourseBox (one per kind of change),
// FavouritesOnlyBox ("お気に入りに関する変更だけ知らせる"), WeightRingBox and ResultRingBox (which
// horse weights and results ring); OkButton stores them, CancelButton
// closes the window without storing.
#pragma once

#include <QDialog>
#include <array>

#include "base/Desktop.h"
#include "base/IniFile.h"
#include "changes/ChangeAnnouncement.h"

class QCheckBox;
class QComboBox;
class QPushButton;

namespace tavolen {

class TNotifySettingsForm : public QDialog {
  Q_OBJECT
 public:
  TNotifySettingsForm(IniFile& ini, Desktop& desktop, QWidget* parent = nullptr);

  // Stores the switches in the settings file and closes with the OK result; a failed write is
  // shown in the error box and the window stays open.
  void OkButtonClick();
  NotifyChoice Choice() const;

  std::array<QCheckBox*, kChangeTypes> KindBoxes{};  // WeatherBox .. CourseBox
  QCheckBox* FavouritesOnlyBox = nullptr;
  // 馬体重 (WeightRingBox) and 成績・払戻 (ResultRingBox): "鳴らさない", "お気に入りだけ",
  // "すべて".
  std::array<QComboBox*, 2> LiveBoxes{};
  QPushButton* OkButton = nullptr;
  QPushButton* CancelButton = nullptr;

 private:
  IniFile& ini_;
  Desktop& desktop_;
};

}  // namespace tavolen
