#include "changes/henkoUnit.h"

#include <QCloseEvent>
#include <QStyledItemDelegate>

#include "base/Desktop.h"
#include "base/FailureText.h"
#include "base/Widgets.h"

namespace tavolen {
namespace {

constexpr int kLineHeight = 12;
// The background of a line about a favourite.
const QColor kFavouriteLine(255, 228, 236);

// Lines 12 pixels high, so that a 45-pixel list shows three of them.
class FixedLineDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), kLineHeight};
  }
};

}  // namespace

THenkoForm::THenkoForm(const fs::path& settingsFile, Desktop* desktop, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      IniGT1(settingsFile),
      desktop_(desktop) {
  setObjectName(QStringLiteral("HenkoForm"));
  setWindowTitle(Qs(Sj("変更情報")));
  setFixedSize(413, 328);
  const QFont font = GothicFont(12);

  static const char* const headings[5] = {"天候馬場", "出走取消・競争除外", "騎手変更",
                                          "発走時刻変更", "コース変更"};
  QListWidget** lists[5] = {&ListBox1, &ListBox2, &ListBox3, &ListBox4, &ListBox5};
  for (int i = 0; i < 5; ++i) {
    auto* h = new Label3D(Qs(Sj(headings[i])), Label3D::Look::Engraved, this);
    h->setObjectName(QStringLiteral("Label%1").arg(i + 1));
    h->setFont(font);
    QPalette pal = h->palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    h->setPalette(pal);
    h->setGeometry(6, 4 + 62 * i, 400, 12);
    Headings[i] = h;

    auto* list = new QListWidget(this);
    list->setObjectName(QStringLiteral("ListBox%1").arg(i + 1));
    list->setFrameShape(QFrame::NoFrame);
    list->setFont(font);
    list->setItemDelegate(new FixedLineDelegate(list));
    list->setUniformItemSizes(true);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setFocusPolicy(Qt::NoFocus);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    list->setGeometry(6, 16 + 62 * i, 400, 45);
    *lists[i] = list;
  }
  connect(ListBox1, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });
  connect(ListBox2, &QListWidget::itemClicked, this, [this] { ListBox2Click(); });
  connect(ListBox3, &QListWidget::itemClicked, this, [this] { ListBox3Click(); });
  connect(ListBox4, &QListWidget::itemClicked, this, [this] { ListBox4Click(); });
  connect(ListBox5, &QListWidget::itemClicked, this, [this] { ListBox5Click(); });
  FormCreate();
}

void THenkoForm::FormCreate() {
  const int top = IniGT1.Read(Settings::ChangeWindowTop);
  const int left = IniGT1.Read(Settings::ChangeWindowLeft);
  move(left, top);
}

void THenkoForm::FormClose() {
  FileStatus s = IniGT1.Write(Settings::ChangeWindowTop, y());
  if (s) s = IniGT1.Write(Settings::ChangeWindowLeft, x());
  if (!s && desktop_) desktop_->ErrorBox(FailureText(s));
  hide();
}

void THenkoForm::closeEvent(QCloseEvent* event) {
  FormClose();
  event->ignore();  // hidden, not destroyed
}

QListWidget* THenkoForm::List(int list) const {
  switch (list) {
    case 1:
      return ListBox1;
    case 2:
      return ListBox2;
    case 3:
      return ListBox3;
    case 4:
      return ListBox4;
    case 5:
      return ListBox5;
    default:
      return nullptr;
  }
}

void THenkoForm::SetLines(ChangeType category, const std::vector<SjisString>& lines) {
  QListWidget* l = List(static_cast<int>(category) + 1);
  if (!l) return;
  l->clear();
  for (const SjisString& line : lines) l->addItem(Qs(line));
  if (l->count() > 0) l->scrollToItem(l->item(l->count() - 1), QAbstractItemView::PositionAtBottom);
  Deselect(l);
}

void THenkoForm::SetMarks(ChangeType category, const std::vector<bool>& marks) {
  QListWidget* l = List(static_cast<int>(category) + 1);
  if (!l) return;
  static const QString kMark = Qs(Sj("★"));
  for (int i = 0; i < l->count(); ++i) {
    QListWidgetItem* item = l->item(i);
    // The line as the evaluation made it stays with the item, so marking again starts afresh.
    if (!item->data(Qt::UserRole).isValid()) item->setData(Qt::UserRole, item->text());
    const QString line = item->data(Qt::UserRole).toString();
    const bool marked = static_cast<size_t>(i) < marks.size() && marks[static_cast<size_t>(i)];
    item->setText(marked ? kMark + line : line);
    item->setBackground(marked ? QBrush(kFavouriteLine) : QBrush());
  }
}

void THenkoForm::ClearLines(int list) {
  if (QListWidget* l = List(list)) l->clear();
}

std::vector<SjisString> THenkoForm::Lines(int list) const {
  std::vector<SjisString> out;
  if (QListWidget* l = List(list))
    for (int i = 0; i < l->count(); ++i) out.push_back(SjisOf(l->item(i)->text()));
  return out;
}

void THenkoForm::ShowWindow() {
  if (isMinimized()) showNormal();
  show();
  raise();
}

void THenkoForm::Deselect(QListWidget* list) {
  list->clearSelection();
  list->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
}

void THenkoForm::ListBox1Click() {
  Deselect(ListBox1);
}
void THenkoForm::ListBox2Click() {
  Deselect(ListBox2);
}
void THenkoForm::ListBox3Click() {
  Deselect(ListBox3);
}
void THenkoForm::ListBox4Click() {
  Deselect(ListBox4);
}
void THenkoForm::ListBox5Click() {
  Deselect(ListBox5);
}

}  // namespace tavolen
