// The favourites window: the favourite horses and jockeys, one removed at a time, and a horse
// added by part of its name, found among the runner records of the race files.
//
// Controls: FavouriteListBox lists the favourites; RemoveButton removes the chosen one;
// SearchEdit takes part of a horse name and SearchButton lists the horses found in FoundList;
// AddButton adds the chosen one; CloseButton closes the window.
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "base/Favourites.h"
#include "racecard/HorseSearch.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tavolen {

// Whether a horse name (code page 932) holds the part the user typed: compared in Unicode
// compatibility form without regard to case, so half-width and full-width katakana and
// letters match each other. An empty part matches nothing.
bool HorseNameMatches(std::string_view name, const QString& part);

class TFavouritesForm : public QDialog {
  Q_OBJECT
 public:
  // changed runs after every change of the list (the caller saves it and marks it anew).
  TFavouritesForm(FavouriteList& list, fs::path dataFolder, std::function<void()> changed,
                  QWidget* parent = nullptr);

  void RemoveButtonClick();
  void SearchButtonClick();
  void AddButtonClick();
  // The list's lines: "馬  name (registration number)", "騎手 name (jockey code)".
  void ShowList();

  QListWidget* FavouriteListBox;
  QPushButton* RemoveButton;
  QLineEdit* SearchEdit;
  QPushButton* SearchButton;
  QListWidget* FoundList;
  QPushButton* AddButton;
  QPushButton* CloseButton;
  QLabel* FoundLabel;

 private:
  FavouriteList& list_;
  fs::path dataFolder_;
  std::function<void()> changed_;
  std::vector<FoundHorse> found_;
};

}  // namespace tavolen
