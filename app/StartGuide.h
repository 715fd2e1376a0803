// The guide in the empty main window, where the race card will be. It offers the automatic way
// first: one button that turns on "ログイン時に起動する" and "開催日を自動で監視する" and starts
// today at once; below it, while there is no race data yet, the four steps by hand. With dates
// to choose it says to choose one; with the automation on it says what the automation does.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace tavolen {

enum class GuideStep {
  NoRaceData,  // the date list is empty: the automatic way, then the steps by hand
  ChooseDate,  // dates to choose from: choose one, or the automatic way
  Automatic,   // the automation is on: what it does
};

GuideStep ChooseGuideStep(bool automatic, bool hasDates);

class StartGuide : public QWidget {
  Q_OBJECT
 public:
  explicit StartGuide(QWidget* parent);

  void Show(GuideStep step);
  // Shows or hides the guide; its first label with it, so whoever asks that label alone learns
  // whether the guide is there.
  void SetShown(bool shown);
  GuideStep Step() const { return step_; }

 signals:
  // The button "自動で監視する（おすすめ）" was pressed.
  void automaticChosen();

 private:
  QLabel* GuideLabel = nullptr;  // the first words: what is there, what to do
  QPushButton* AutoWatchButton = nullptr;
  QLabel* AutoWatchNote = nullptr;     // beside the button: what it turns on
  QLabel* ManualGuideLabel = nullptr;  // the four steps by hand
  GuideStep step_ = GuideStep::NoRaceData;
};

}  // namespace tavolen
