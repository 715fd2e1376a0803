// The race card view: the race list (DatList on Panel5), the race card area (StringGrid2 on
// Panel1, painted by RaceCardDelegate, with its right-button menu PopupMenu1 and the copy item
// N18) and the ten header labels Label3D1..Label3D10 on their panel Panel2. The main window
// places the three panels in its frame; the view fills them from the loaded meeting it is told.
//
// UpDown1 is the invisible up-down control of the original that mirrors the race list's
// selection.
#pragma once

#include <QObject>
#include <array>
#include <optional>
#include <vector>

#include "base/Desktop.h"
#include "base/Favourites.h"
#include "jvlink/Clock.h"
#include "racecard/CardChanges.h"
#include "racecard/CardLive.h"
#include "racecard/Meeting.h"
#include "racecard/RaceCard.h"

class QAction;
class QFrame;
class QListWidget;
class QMenu;
class QTableWidget;
class QPlainTextEdit;
class QWidget;

namespace tavolen {

class Label3D;

// The invisible horizontal up-down control that mirrors the race list selection.
struct TUpDown {
  int Min = 0;
  int Max = 0;
  int Position = 0;
};

class RaceCardView : public QObject {
  Q_OBJECT
 public:
  // meeting is the main window's loaded meeting; the view reads it and keeps its selected race.
  // The panels are made as children of panelParent (the main window places them).
  RaceCardView(LoadedMeeting& meeting, Desktop& desktop, const Clock& clock, QWidget* panelParent);

  QFrame* HeaderPanel() const { return panel2_; }     // Panel2
  QWidget* RaceListPanel() const { return panel5_; }  // Panel5
  QWidget* CardArea() const { return panel1_; }       // Panel1

  // Lists the loaded meeting's races with the first one selected (its card: ShowChosenRace).
  void ShowRaces(const std::vector<RaceListEntry>& races);
  // No meeting: neither a list nor a card.
  void Clear();
  // The card area hidden until a new card is known to be complete; the race list keeps the
  // keyboard focus.
  void HideCard();
  // Shows the race card of the race list's selected item (DatListClick); false when no race is
  // chosen.
  bool ShowChosenRace(bool hideListAfterChoice);
  // A load the program makes by itself: nobody answers the box of an incomplete card then;
  // the card stays hidden as after the box.
  void SetUnattended(bool on) { unattended_ = on; }
  // The up-down control moves to position and selects that race; false when nothing is to be
  // shown (fewer than two races, a position outside the list).
  bool StepTo(int position);
  const TUpDown& UpDown() const { return upDown_; }
  void ToggleRaceList();  // SpeedButton8Click
  // Marks the day's changes of the race shown, or unmarks them (markChanges false).
  void RefreshChanges(bool markChanges);
  void ClearSelection();  // StringGrid2MouseUp
  void CopyCard();        // N18Click

  // The favourites to mark (the main window's list; null: none), and the marks drawn afresh
  // after the list changed: races with a favourite in the race list, favourite runners' rows on
  // the card.
  void SetFavourites(const FavouriteList* favourites);
  void RefreshFavourites();
  // The runner of a card row (1..): asks for its horse, or with jockey its jockey, to be added
  // to or removed from the favourites. The menu item "お気に入りに追加/解除" does this for the
  // row under the mouse (the jockey in the jockey column), Ctrl+D for the current row.
  void ToggleFavourite(int row, bool jockey);
  // The day's weights, results and payouts read afresh: each race's state in the race list,
  // the card's three live columns (shown once the race has any) and the payouts panel
  // "PayoutPanel" under the card.
  void RefreshLive();
  const CardLive& Live() const { return live_; }

 signals:
  // The user chose a race in the list (mouse or keyboard).
  void raceChosen();
  // A favourite to add or remove: its kind, code and name.
  void favouriteToggleRequested(tavolen::FavouriteKind kind, const tavolen::SjisString& code,
                                const tavolen::SjisString& name);

 private:
  void StyleHeaderLabels();
  bool RaceShown() const;

  LoadedMeeting& meeting_;
  Desktop& desktop_;
  bool unattended_ = false;
  // Panel2 with the header labels, Panel1 with the grid, Panel5 with the race list.
  QFrame* panel2_ = nullptr;
  std::array<Label3D*, kHeaderLabels> labels_{};
  QWidget *panel1_ = nullptr, *panel5_ = nullptr;
  QListWidget* datList_ = nullptr;
  QTableWidget* grid_ = nullptr;
  QMenu* popupMenu1_ = nullptr;       // the grid's right-button menu
  QAction* n18_ = nullptr;            // copies the race card
  QAction* favouriteItem_ = nullptr;  // "お気に入りに追加/解除"
  const FavouriteList* favourites_ = nullptr;
  int menuRow_ = -1, menuColumn_ = -1;  // the cell under the mouse when the menu opened
  int lastRow_ = -1, lastColumn_ = -1;  // the cell last pressed or made current
  TUpDown upDown_;
  QPlainTextEdit* payoutPanel_ = nullptr;
  CardLive live_;
};

}  // namespace tavolen
