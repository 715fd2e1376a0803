// The stand-in's settings window, shown by JVSetUIProperties: the service key and the feed
// folder the stand-in serves (empty: the built-in demo race day).
#pragma once

#include <QDialog>
#include <QPointer>
#include <optional>

#include "standin/StandIn.h"

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tavolen {

class StandInSettingsWindow : public QDialog {
  Q_OBJECT

 public:
  explicit StandInSettingsWindow(const StandInSettings& current, QWidget* parent = nullptr);

  // The settings as entered.
  StandInSettings Settings() const;
  // Empty when the entries can be stored; otherwise why not (shown in the window).
  QString Problem() const;

  QLineEdit* ServiceKeyEdit = nullptr;
  QLineEdit* FeedFolderEdit = nullptr;
  QPushButton* BrowseButton = nullptr;
  QLabel* ProblemLabel = nullptr;
  QDialogButtonBox* Buttons = nullptr;

  // The folder chooser; a test can drive it while it is shown.
  void BrowseButtonClick();

 private:
  void Revalidate();
};

// Shows the window modally; the settings to store, or nothing when the user cancelled.
std::optional<StandInSettings> AskStandInSettings(const StandInSettings& current,
                                                  QWidget* parent = nullptr);

// Makes the window the JVSetUIProperties dialog of every stand-in (or of one): JVSetUIProperties
// then returns 0 when the settings were stored or the window cancelled, and the stand-in's
// failure code (-100) when storing failed. The parent may go away before the stand-in does.
void InstallStandInSettingsDialog(QWidget* parent = nullptr);
void InstallStandInSettingsDialog(StandInJVLink& standIn, QWidget* parent = nullptr);

}  // namespace tavolen
