#include "app/StartGuide.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Widgets.h"

namespace tavolen {

GuideStep ChooseGuideStep(bool automatic, bool hasDates) {
  if (automatic) return GuideStep::Automatic;
  return hasDates ? GuideStep::ChooseDate : GuideStep::NoRaceData;
}

StartGuide::StartGuide(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("StartGuide"));
  const QString ink = QStringLiteral("QLabel { color: #2a4a6a; }");
  auto label = [&](const char* name, int pixelSize) {
    auto* l = new QLabel(this);
    l->setObjectName(QString::fromLatin1(name));
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    l->setFont(GothicFont(pixelSize));
    l->setStyleSheet(ink);
    return l;
  };
  GuideLabel = label("GuideLabel", 14);
  AutoWatchButton = new QPushButton(QString::fromUtf8("自動で監視する（おすすめ）"), this);
  AutoWatchButton->setObjectName(QStringLiteral("AutoWatchButton"));
  AutoWatchButton->setFont(GothicFont(14, true));
  AutoWatchButton->setIcon(DrawGlyph(Glyph::Resident, 32));
  AutoWatchButton->setDefault(true);
  AutoWatchButton->setStatusTip(QString::fromUtf8(
      "「ログイン時に起動する」と「開催日を自動で監視する」をオンにし、今日の監視を始めます"));
  AutoWatchNote = label("AutoWatchNote", 12);
  AutoWatchNote->setText(
      QString::fromUtf8("ログイン時の起動と開催日の自動監視を\n"
                        "オンにして、今日の監視をすぐ始めます。"));
  ManualGuideLabel = label("ManualGuideLabel", 13);
  ManualGuideLabel->setText(
      QString::fromUtf8("自分で操作するときは、次の順で操作してください。\n"
                        "1. ツールバーの「JVデータ取得」を押す\n"
                        "2. 「データ取込み開始」を押し、完了したらウィンドウを閉じる\n"
                        "3. 左上の日付リストで今日の日付を選ぶ\n"
                        "4. 「常駐」を押すと、タスクトレイで変更情報を見張ります\n"
                        "くわしくは「ﾍﾙﾌﾟ」をご覧ください。"));
  connect(AutoWatchButton, &QPushButton::clicked, this, &StartGuide::automaticChosen);

  auto* buttonRow = new QHBoxLayout;
  buttonRow->setSpacing(10);
  buttonRow->addWidget(AutoWatchButton, 0, Qt::AlignVCenter);
  buttonRow->addWidget(AutoWatchNote, 0, Qt::AlignVCenter);
  buttonRow->addStretch(1);
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(8, 8, 8, 8);
  v->setSpacing(10);
  v->addWidget(GuideLabel);
  v->addLayout(buttonRow);
  v->addWidget(ManualGuideLabel);
  Show(step_);
}

void StartGuide::SetShown(bool shown) {
  setVisible(shown);
  GuideLabel->setVisible(shown);
}

void StartGuide::Show(GuideStep step) {
  step_ = step;
  switch (step) {
    case GuideStep::NoRaceData:
      GuideLabel->setText(
          QString::fromUtf8("まだレースデータがありません。\n\n"
                            "おすすめは自動で監視することです。レースデータの取得\n"
                            "（「JVデータ取得」）から今日の変更情報の確認まで、\n"
                            "操作しなくても Tavolen が行います。"));
      break;
    case GuideStep::ChooseDate:
      GuideLabel->setText(
          QString::fromUtf8("左上の日付リストで開催日を選んでください。\n"
                            "今日の日付を選ぶと、変更情報の自動確認が始まります。\n\n"
                            "開催日ごとの操作を省くには、自動で監視することもできます。"));
      break;
    case GuideStep::Automatic:
      GuideLabel->setText(
          QString::fromUtf8("開催日を自動で監視しています。\n\n"
                            "今日のレースデータがあれば自動で読み込み、変更情報の確認を始めます。\n"
                            "なければ自動で取得します（ステータスバーに表示されます）。\n"
                            "ほかの日の出馬表は、左上の日付リストで選べます。"));
      break;
  }
  AutoWatchButton->setVisible(step != GuideStep::Automatic);
  AutoWatchNote->setVisible(step != GuideStep::Automatic);
  ManualGuideLabel->setVisible(step == GuideStep::NoRaceData);
}

}  // namespace tavolen
