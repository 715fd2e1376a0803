// The change window: a small stay-on-top window with five fixed lists, one per change
// category. The change evaluation fills the lists; the window only shows them and keeps its
// position in the settings file.
//
// Controls: ListBox1..ListBox5 list the changes of one category each, in the order weather and
// going, scratches and exclusions, jockey changes, post-time changes, course changes.
#pragma once

#include <QListWidget>
#include <QWidget>
#include <array>
#include <vector>

#include "base/IniFile.h"
#include "jvlink/ChangeFiles.h"
#include "jvlink/Sjis.h"

namespace tavolen {

class Desktop;
class Label3D;

class THenkoForm : public QWidget {
  Q_OBJECT
 public:
  // settingsFile: the program's settings file; desktop (may be null) reports a failed save.
  explicit THenkoForm(const fs::path& settingsFile, Desktop* desktop = nullptr,
                      QWidget* parent = nullptr);

  // Replaces the lines of a category's list (WE: ListBox1 … CC: ListBox5) with code page 932
  // lines, scrolls to the last line and leaves no line selected. A value outside the five
  // categories is ignored.
  void SetLines(ChangeType category, const std::vector<SjisString>& lines);
  // Marks the lines of a category's list that concern a favourite: "★" before the line on a
  // pale background. marks[i] belongs to line i; lines beyond marks stay unmarked.
  void SetMarks(ChangeType category, const std::vector<bool>& marks);
  void ClearLines(int list);
  // The lines of list 1..5 as code page 932 texts.
  std::vector<SjisString> Lines(int list) const;
  QListWidget* List(int list) const;

  // Shows the window, or brings an already visible one forward.
  void ShowWindow();

  void FormCreate();
  void FormClose();
  void ListBox1Click();
  void ListBox2Click();
  void ListBox3Click();
  void ListBox4Click();
  void ListBox5Click();

  IniFile IniGT1;
  QListWidget* ListBox1 = nullptr;
  QListWidget* ListBox2 = nullptr;
  QListWidget* ListBox3 = nullptr;
  QListWidget* ListBox4 = nullptr;
  QListWidget* ListBox5 = nullptr;
  std::array<Label3D*, 5> Headings{};

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Deselect(QListWidget* list);

  Desktop* desktop_;
};

}  // namespace tavolen
