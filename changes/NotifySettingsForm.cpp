#include "changes/NotifySettingsForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "base/FailureText.h"
#include "base/Widgets.h"

namespace tavolen {

TNotifySettingsForm::TNotifySettingsForm(IniFile& ini, Desktop& desktop, QWidget* parent)
    : QDialog(parent), ini_(ini), desktop_(desktop) {
  setObjectName(QStringLiteral("NotifySettingsForm"));
  setWindowTitle(Qs(Sj("通知の設定")));
  setFont(GothicFont(12));
  static const char* const kNames[kChangeTypes] = {"WeatherBox", "ScratchBox", "JockeyBox",
                                                   "PostTimeBox", "CourseBox"};
  static const char* const kCaptions[kChangeTypes] = {"天候馬場", "出走取消・競走除外", "騎手変更",
                                                      "発走時刻変更", "コース変更"};
  const NotifyChoice choice = ReadNotifyChoice(ini_);
  auto* layout = new QVBoxLayout(this);
  auto* heading = new QLabel(Qs(Sj("通知（バルーンと音）で知らせる変更")), this);
  layout->addWidget(heading);
  for (size_t i = 0; i < KindBoxes.size(); ++i) {
    KindBoxes[i] = new QCheckBox(Qs(Sj(kCaptions[i])), this);
    KindBoxes[i]->setObjectName(QString::fromLatin1(kNames[i]));
    KindBoxes[i]->setChecked(choice.kinds[i]);
    layout->addWidget(KindBoxes[i]);
  }
  layout->addSpacing(6);
  FavouritesOnlyBox = new QCheckBox(Qs(Sj("お気に入りに関する変更だけ知らせる")), this);
  FavouritesOnlyBox->setObjectName(QStringLiteral("FavouritesOnlyBox"));
  FavouritesOnlyBox->setChecked(choice.favouritesOnly);
  layout->addWidget(FavouritesOnlyBox);
  // The horse weights and the results: each off, a favourite's only, or every race's.
  layout->addSpacing(6);
  auto* live = new QGridLayout;
  const std::array<std::pair<const char*, LiveRing>, 2> kLive = {
      {{"馬体重", choice.live.weights}, {"成績・払戻", choice.live.results}}};
  static const char* const kLiveNames[2] = {"WeightRingBox", "ResultRingBox"};
  for (size_t i = 0; i < LiveBoxes.size(); ++i) {
    LiveBoxes[i] = new QComboBox(this);
    LiveBoxes[i]->setObjectName(QString::fromLatin1(kLiveNames[i]));
    for (const char* item : {"鳴らさない", "お気に入りだけ", "すべて"})
      LiveBoxes[i]->addItem(Qs(Sj(item)));
    LiveBoxes[i]->setCurrentIndex(static_cast<int>(kLive[i].second));
    live->addWidget(new QLabel(Qs(Sj(kLive[i].first)), this), static_cast<int>(i), 0);
    live->addWidget(LiveBoxes[i], static_cast<int>(i), 1);
  }
  live->setColumnStretch(2, 1);
  layout->addLayout(live);
  auto* note = new QLabel(
      Qs(Sj("知らせない変更も変更情報ウィンドウには表示され、\n後から知らせることはありません。")),
      this);
  note->setStyleSheet(QStringLiteral("QLabel { color: #505050; }"));
  layout->addWidget(note);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  OkButton = new QPushButton(QStringLiteral("OK"), this);
  OkButton->setObjectName(QStringLiteral("OkButton"));
  OkButton->setDefault(true);
  CancelButton = new QPushButton(Qs(Sj("キャンセル")), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);
  connect(OkButton, &QPushButton::clicked, this, &TNotifySettingsForm::OkButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

NotifyChoice TNotifySettingsForm::Choice() const {
  NotifyChoice choice;
  for (size_t i = 0; i < KindBoxes.size(); ++i) choice.kinds[i] = KindBoxes[i]->isChecked();
  choice.favouritesOnly = FavouritesOnlyBox->isChecked();
  choice.live.weights = static_cast<LiveRing>(std::max(LiveBoxes[0]->currentIndex(), 0));
  choice.live.results = static_cast<LiveRing>(std::max(LiveBoxes[1]->currentIndex(), 0));
  return choice;
}

void TNotifySettingsForm::OkButtonClick() {
  if (FileStatus st = WriteNotifyChoice(ini_, Choice()); !st) {
    desktop_.ErrorBox(FailureText(st));
    return;
  }
  accept();
}

}  // namespace tavolen
