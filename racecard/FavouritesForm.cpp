#include "racecard/FavouritesForm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Widgets.h"

namespace tavolen {
namespace {

QString Folded(const QString& text) {
  return text.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

}  // namespace

bool HorseNameMatches(std::string_view name, const QString& part) {
  const QString wanted = Folded(part.trimmed());
  return !wanted.isEmpty() && Folded(Qs(SjisString(name))).contains(wanted);
}

TFavouritesForm::TFavouritesForm(FavouriteList& list, fs::path dataFolder,
                                 std::function<void()> changed, QWidget* parent)
    : QDialog(parent),
      list_(list),
      dataFolder_(std::move(dataFolder)),
      changed_(std::move(changed)) {
  setObjectName(QStringLiteral("FavouritesForm"));
  setWindowTitle(Qs(Sj("お気に入り")));
  const QFont font = GothicFont(12);
  setFont(font);

  auto* heading = new QLabel(Qs(Sj("お気に入りの馬と騎手")), this);
  FavouriteListBox = new QListWidget(this);
  FavouriteListBox->setObjectName(QStringLiteral("FavouriteListBox"));
  RemoveButton = new QPushButton(Qs(Sj("解除")), this);
  RemoveButton->setObjectName(QStringLiteral("RemoveButton"));

  auto* searchHeading = new QLabel(Qs(Sj("馬名の一部で探して追加（保存済みの出馬表から）")), this);
  SearchEdit = new QLineEdit(this);
  SearchEdit->setObjectName(QStringLiteral("SearchEdit"));
  SearchButton = new QPushButton(Qs(Sj("検索")), this);
  SearchButton->setObjectName(QStringLiteral("SearchButton"));
  FoundList = new QListWidget(this);
  FoundList->setObjectName(QStringLiteral("FoundList"));
  FoundLabel = new QLabel(this);
  FoundLabel->setObjectName(QStringLiteral("FoundLabel"));
  AddButton = new QPushButton(Qs(Sj("追加")), this);
  AddButton->setObjectName(QStringLiteral("AddButton"));
  CloseButton = new QPushButton(Qs(Sj("閉じる")), this);
  CloseButton->setObjectName(QStringLiteral("CloseButton"));

  auto* layout = new QGridLayout(this);
  layout->addWidget(heading, 0, 0, 1, 2);
  layout->addWidget(FavouriteListBox, 1, 0);
  layout->addWidget(RemoveButton, 1, 1, Qt::AlignTop);
  layout->addWidget(searchHeading, 2, 0, 1, 2);
  layout->addWidget(SearchEdit, 3, 0);
  layout->addWidget(SearchButton, 3, 1);
  layout->addWidget(FoundList, 4, 0);
  layout->addWidget(AddButton, 4, 1, Qt::AlignTop);
  layout->addWidget(FoundLabel, 5, 0);
  layout->addWidget(CloseButton, 5, 1);
  resize(460, 420);

  connect(RemoveButton, &QPushButton::clicked, this, &TFavouritesForm::RemoveButtonClick);
  connect(SearchButton, &QPushButton::clicked, this, &TFavouritesForm::SearchButtonClick);
  connect(SearchEdit, &QLineEdit::returnPressed, this, &TFavouritesForm::SearchButtonClick);
  connect(AddButton, &QPushButton::clicked, this, &TFavouritesForm::AddButtonClick);
  connect(FoundList, &QListWidget::itemDoubleClicked, this, &TFavouritesForm::AddButtonClick);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
  SearchButton->setAutoDefault(false);
  CloseButton->setAutoDefault(false);
  ShowList();
}

void TFavouritesForm::ShowList() {
  FavouriteListBox->clear();
  for (const Favourite& f : list_.items()) {
    const SjisString kind = f.kind == FavouriteKind::Horse ? Sj("馬  ") : Sj("騎手");
    FavouriteListBox->addItem(Qs(kind + " " + f.name + " (" + f.code + ")"));
  }
  RemoveButton->setEnabled(!list_.empty());
}

void TFavouritesForm::RemoveButtonClick() {
  const int row = FavouriteListBox->currentRow();
  if (row < 0 || row >= static_cast<int>(list_.items().size())) return;
  const Favourite f = list_.items()[static_cast<size_t>(row)];
  list_.Remove(f.kind, f.code);
  ShowList();
  FavouriteListBox->setCurrentRow(std::min(row, FavouriteListBox->count() - 1));
  if (changed_) changed_();
}

void TFavouritesForm::SearchButtonClick() {
  const QString part = SearchEdit->text();
  found_ =
      FindHorses(dataFolder_, [&](std::string_view name) { return HorseNameMatches(name, part); });
  FoundList->clear();
  for (const FoundHorse& h : found_)
    FoundList->addItem(Qs(h.name + " (" + h.registrationNumber + ") " + h.dateKey));
  FoundLabel->setText(found_.empty() ? Qs(Sj("見つかりません"))
                                     : Qs(std::to_string(found_.size()) + Sj("頭")));
  if (!found_.empty()) FoundList->setCurrentRow(0);
}

void TFavouritesForm::AddButtonClick() {
  const int row = FoundList->currentRow();
  if (row < 0 || row >= static_cast<int>(found_.size())) return;
  const FoundHorse& h = found_[static_cast<size_t>(row)];
  if (!list_.Add(FavouriteKind::Horse, h.registrationNumber, h.name)) return;  // already there
  ShowList();
  if (changed_) changed_();
}

}  // namespace tavolen
