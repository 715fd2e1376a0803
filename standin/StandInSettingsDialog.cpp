#include "standin/StandInSettingsDialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavolen {
namespace {

QString PathToQt(const fs::path& p) {
  return QString::fromStdU16String(p.u16string());
}
fs::path PathFromQt(const QString& s) {
  return fs::path(s.toStdU16String());
}

// The limits the stand-in checks before storing, so the window can say what is wrong.
constexpr int kMaxServiceKeyBytes = 63;

}  // namespace

StandInSettingsWindow::StandInSettingsWindow(const StandInSettings& current, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(tr("JV-Link設定（代替）"));

  ServiceKeyEdit = new QLineEdit(QString::fromStdString(current.serviceKey), this);
  ServiceKeyEdit->setObjectName("ServiceKeyEdit");
  FeedFolderEdit = new QLineEdit(PathToQt(current.feedFolder), this);
  FeedFolderEdit->setObjectName("FeedFolderEdit");
  FeedFolderEdit->setPlaceholderText(tr("空欄：内蔵のデモデータ"));
  FeedFolderEdit->setMinimumWidth(320);
  BrowseButton = new QPushButton(tr("参照..."), this);
  BrowseButton->setObjectName("BrowseButton");
  BrowseButton->setAutoDefault(false);
  ProblemLabel = new QLabel(this);
  ProblemLabel->setObjectName("ProblemLabel");
  QPalette red = ProblemLabel->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  ProblemLabel->setPalette(red);
  Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  Buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
  Buttons->button(QDialogButtonBox::Cancel)->setText(tr("キャンセル"));

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(tr("サービスキー"), this), 0, 0);
  grid->addWidget(ServiceKeyEdit, 0, 1, 1, 2);
  grid->addWidget(new QLabel(tr("データの取得元フォルダ"), this), 1, 0);
  grid->addWidget(FeedFolderEdit, 1, 1);
  grid->addWidget(BrowseButton, 1, 2);
  auto* note = new QLabel(tr("取得元フォルダの *.jvd ファイルを JV-Link のデータとして渡します。"
                             "空欄のときは内蔵のデモ開催日を使います。"),
                          this);
  note->setWordWrap(true);

  auto* main = new QVBoxLayout(this);
  main->addLayout(grid);
  main->addWidget(note);
  main->addWidget(ProblemLabel);
  main->addWidget(Buttons);

  connect(BrowseButton, &QPushButton::clicked, this, [this] { BrowseButtonClick(); });
  connect(ServiceKeyEdit, &QLineEdit::textChanged, this, [this] { Revalidate(); });
  connect(FeedFolderEdit, &QLineEdit::textChanged, this, [this] { Revalidate(); });
  connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  Revalidate();
}

StandInSettings StandInSettingsWindow::Settings() const {
  StandInSettings s;
  s.serviceKey = ServiceKeyEdit->text().trimmed().toStdString();
  const QString folder = FeedFolderEdit->text().trimmed();
  if (!folder.isEmpty()) s.feedFolder = PathFromQt(QDir::cleanPath(folder));
  return s;
}

QString StandInSettingsWindow::Problem() const {
  const QByteArray key = ServiceKeyEdit->text().trimmed().toUtf8();
  if (key.size() > kMaxServiceKeyBytes) return tr("サービスキーが長すぎます（63バイトまで）。");
  for (char c : key)
    if (static_cast<unsigned char>(c) < 0x20) return tr("サービスキーに使えない文字があります。");
  const QString folder = FeedFolderEdit->text().trimmed();
  if (!folder.isEmpty() && !QFileInfo(folder).isDir())
    return tr("取得元フォルダが見つかりません。");
  return {};
}

void StandInSettingsWindow::Revalidate() {
  const QString problem = Problem();
  ProblemLabel->setText(problem);
  Buttons->button(QDialogButtonBox::Ok)->setEnabled(problem.isEmpty());
}

void StandInSettingsWindow::BrowseButtonClick() {
  QFileDialog chooser(this, tr("データの取得元フォルダ"));
  chooser.setObjectName("FolderChooser");
  chooser.setFileMode(QFileDialog::Directory);
  chooser.setOption(QFileDialog::ShowDirsOnly, true);
  chooser.setOption(QFileDialog::DontUseNativeDialog, true);  // the same chooser everywhere
  const QString current = FeedFolderEdit->text().trimmed();
  chooser.setDirectory(!current.isEmpty() && QFileInfo(current).isDir() ? current
                                                                        : QDir::homePath());
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return;
  FeedFolderEdit->setText(QDir::toNativeSeparators(chooser.selectedFiles().first()));
}

std::optional<StandInSettings> AskStandInSettings(const StandInSettings& current, QWidget* parent) {
  StandInSettingsWindow window(current, parent);
  if (window.exec() != QDialog::Accepted) return std::nullopt;
  return window.Settings();
}

namespace {

StandInSettingsDialog MakeHook(QWidget* parent) {
  QPointer<QWidget> owner(parent);
  return
      [owner](const StandInSettings& current) { return AskStandInSettings(current, owner.data()); };
}

}  // namespace

void InstallStandInSettingsDialog(QWidget* parent) {
  SetStandInSettingsDialog(MakeHook(parent));
}

void InstallStandInSettingsDialog(StandInJVLink& standIn, QWidget* parent) {
  standIn.SetSettingsDialog(MakeHook(parent));
}

}  // namespace tavolen
