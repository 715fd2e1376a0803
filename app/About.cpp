#include "app/About.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QScreen>

#include "app/ProgramIcon.h"
#include "base/Desktop.h"
#include "base/Widgets.h"

namespace tavolen {
namespace {

// A race course seen from above at dusk: sky, the turf oval with its rail, the program's
// mark and name.
class AboutPicture : public QFrame {
 public:
  using QFrame::QFrame;

 protected:
  void paintEvent(QPaintEvent* e) override {
    {
      QPainter p(this);
      p.setRenderHint(QPainter::Antialiasing);
      const QRectF r = contentsRect();
      QLinearGradient sky(r.topLeft(), r.bottomLeft());
      sky.setColorAt(0, QColor(20, 40, 100));
      sky.setColorAt(0.55, QColor(240, 150, 70));
      sky.setColorAt(0.56, QColor(40, 120, 50));
      sky.setColorAt(1, QColor(20, 80, 30));
      p.fillRect(r, sky);
      // The oval: turf, dirt inside, white rail.
      const QRectF oval(r.left() + 18, r.top() + 118, r.width() - 36, 70);
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(70, 160, 70));
      p.drawEllipse(oval);
      p.setBrush(QColor(170, 130, 80));
      p.drawEllipse(oval.adjusted(16, 10, -16, -10));
      p.setBrush(QColor(40, 120, 50));
      p.drawEllipse(oval.adjusted(30, 19, -30, -19));
      p.setPen(QPen(Qt::white, 1.5));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(oval.adjusted(2, 2, -2, -2));
      // The mark and the name.
      const int s = 44;
      p.drawPixmap(QPointF(r.left() + 14, r.top() + 14), ProgramIcon().pixmap(s, s));
      QFont f(QStringLiteral("DejaVu Serif"));
      f.setPixelSize(30);
      f.setBold(true);
      f.setItalic(true);
      p.setFont(f);
      p.setPen(QColor(0, 0, 0, 120));
      p.drawText(QPointF(r.left() + 70, r.top() + 48), QStringLiteral("Tavolen"));
      p.setPen(QColor(255, 240, 200));
      p.drawText(QPointF(r.left() + 68, r.top() + 46), QStringLiteral("Tavolen"));
    }
    QFrame::paintEvent(e);  // the frame on top
  }
};

// The desktop's own opener of an address: xdg-open, or on Windows the shell's URL handler.
bool StartXdgOpen(const std::string& url) {
#ifdef Q_OS_WIN
  return QProcess::startDetached(
      QStringLiteral("rundll32"),
      {QStringLiteral("url.dll,FileProtocolHandler"), QString::fromStdString(url)});
#else
  return QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(url)});
#endif
}

}  // namespace

TAboutBox::TAboutBox(Desktop& desktop, QWidget* parent, StartBrowser startBrowser)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      desktop_(desktop),
      startBrowser_(startBrowser ? std::move(startBrowser) : StartBrowser(StartXdgOpen)) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(Qs(Sj("ﾊﾞｰｼﾞｮﾝ情報")));
  setFixedSize(318, 248);
  setModal(true);

  Panel1 = new AboutPicture(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setLineWidth(2);
  Panel1->setGeometry(9, 8, 300, 200);

  Label3D1 = new Label3D(QStringLiteral("Version 1.0"), Label3D::Look::Raised, Panel1);
  Label3D1->setObjectName(QStringLiteral("Label3D1"));
  QFont vf = GothicFont(16, true);
  Label3D1->setFont(vf);
  QPalette vp = Label3D1->palette();
  vp.setColor(QPalette::WindowText, QColor(20, 20, 60));
  Label3D1->setPalette(vp);
  Label3D1->setGeometry(70, 58, 200, 22);

  CreditLabel =
      new QLabel(Qs(Sj("Tavolen for JRA-VAN Data Lab.\n変更情報を見張る競馬ファンの道具")), Panel1);
  CreditLabel->setObjectName(QStringLiteral("Label1"));
  CreditLabel->setFont(GothicFont(12));
  QPalette cp = CreditLabel->palette();
  cp.setColor(QPalette::WindowText, Qt::white);
  CreditLabel->setPalette(cp);
  CreditLabel->setGeometry(14, 84, 272, 30);

  FolderLabel = new QLabel(Panel1);
  FolderLabel->setObjectName(QStringLiteral("FolderLabel"));
  FolderLabel->setFont(GothicFont(11));
  FolderLabel->setStyleSheet(
      QStringLiteral("QLabel { color: white; background: rgba(0, 0, 0, 110); padding: 1px 3px; }"));
  FolderLabel->setGeometry(6, 172, 288, 20);
  FolderLabel->hide();

  Button1 = new QPushButton(Qs(Sj("作者のホームページ")), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(9, 215, 150, 25);
  Button1->setAutoDefault(false);
  MsgBitBtn1 = new QPushButton(QStringLiteral("OK"), this);
  MsgBitBtn1->setObjectName(QStringLiteral("MsgBitBtn1"));
  MsgBitBtn1->setGeometry(234, 215, 75, 25);
  MsgBitBtn1->setDefault(true);

  connect(MsgBitBtn1, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect a = screen->availableGeometry();
    move(a.center() - rect().center());
  }
}

void TAboutBox::ShowFolder(const std::string& layoutName, const std::filesystem::path& folder) {
  const QString path = QString::fromStdU16String(folder.u16string());
  const QString prefix = QString::fromUtf8("データ（") + QString::fromStdString(layoutName) +
                         QString::fromUtf8("）: ");
  // A long path keeps its end, where the folder's own name is.
  const QFontMetrics fm(FolderLabel->font());
  const int room = FolderLabel->width() - 8 - fm.horizontalAdvance(prefix);
  FolderLabel->setText(prefix + fm.elidedText(path, Qt::ElideLeft, room));
  FolderLabel->setToolTip(path);
  FolderLabel->show();
}

void TAboutBox::Button1Click() {
  // First the desktop's own way of opening an address, then the browser command directly.
  if (desktop_.OpenAddress(kHomePageAddress)) return;
  if (startBrowser_(kHomePageAddress)) return;
  desktop_.PlainBox(Sj("ホームページの表示に失敗しました。"));
}

}  // namespace tavolen
