#include "base/Widgets.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>

namespace tavolen {

void InstallFontSubstitutions() {
  static bool done = false;
  if (done) return;
  done = true;
  const QStringList gothic = {"IPAGothic",          "IPAゴシック", "Noto Sans Mono CJK JP",
                              "Noto Sans CJK JP",   "TakaoGothic", "VL Gothic",
                              "Droid Sans Fallback"};
  QFont::insertSubstitutions(QString::fromUtf8(kMsGothic), gothic);
  QFont::insertSubstitutions(QStringLiteral("MS Gothic"), gothic);
}

QFont GothicFont(int pixelSize, bool bold) {
  InstallFontSubstitutions();
  QFont f(QString::fromUtf8(kMsGothic));
  f.setPixelSize(pixelSize);
  f.setFixedPitch(true);
  f.setStyleHint(QFont::TypeWriter);
  f.setBold(bold);
  return f;
}

Label3D::Label3D(const QString& text, Look look, QWidget* parent)
    : QLabel(text, parent), look_(look) {}

void Label3D::setLook(Look look) {
  look_ = look;
  update();
}

QSize Label3D::sizeHint() const {
  return QLabel::sizeHint() + QSize(2, 2);
}
QSize Label3D::minimumSizeHint() const {
  return QLabel::minimumSizeHint() + QSize(2, 2);
}

void Label3D::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setFont(font());
  const QRect r = contentsRect().adjusted(1, 1, -1, -1);
  const int flags = static_cast<int>(alignment()) | Qt::TextSingleLine;
  const QString t = text();
  if (look_ == Look::Raised) {
    p.setPen(QColor(255, 255, 255));
    p.drawText(r.translated(-1, -1), flags, t);
    p.setPen(QColor(128, 128, 128));
    p.drawText(r.translated(1, 1), flags, t);
  } else if (look_ == Look::Engraved) {
    p.setPen(QColor(255, 255, 255));
    p.drawText(r.translated(1, 1), flags, t);
  }
  p.setPen(palette().color(foregroundRole()));
  p.drawText(r, flags, t);
}

namespace {

void DrawProgram(QPainter& p, int s) {
  // A green disc with a white horseshoe opening downwards.
  p.setBrush(QColor(0, 110, 60));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QRectF(0.5, 0.5, s - 1.0, s - 1.0));
  QPen shoe(Qt::white, s * 0.13, Qt::SolidLine, Qt::RoundCap);
  p.setPen(shoe);
  p.setBrush(Qt::NoBrush);
  QRectF arc(s * 0.24, s * 0.2, s * 0.52, s * 0.56);
  p.drawArc(arc, -30 * 16, 240 * 16);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 110, 60));
  for (double y : {0.38, 0.56}) {
    p.drawEllipse(QPointF(s * 0.27, s * y), s * 0.025, s * 0.025);
    p.drawEllipse(QPointF(s * 0.73, s * y), s * 0.025, s * 0.025);
  }
}

}  // namespace

QIcon DrawGlyph(Glyph glyph, int s) {
  QPixmap pm(s, s);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const double u = s / 32.0;
  auto pen = [&](QColor c, double w) {
    p.setPen(QPen(c, w * u, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  };
  // An arrow of pen c and width w: a shaft from `from` to `tip`, and strokes from a and b to it.
  auto arrow = [&](QColor c, double w, QPointF from, QPointF tip, QPointF a, QPointF b) {
    pen(c, w);
    for (const QPointF& start : {from, a, b}) p.drawLine(start * u, tip * u);
  };
  switch (glyph) {
    case Glyph::Program:
      DrawProgram(p, s);
      break;
    case Glyph::Acquire: {
      // A disk with an arrow coming down into it.
      p.setBrush(QColor(70, 110, 190));
      pen(QColor(30, 50, 110), 1.5);
      p.drawRoundedRect(QRectF(5 * u, 19 * u, 22 * u, 9 * u), 2 * u, 2 * u);
      arrow(QColor(0, 140, 70), 4, {16, 3}, {16, 16}, {10, 10}, {22, 10});
      break;
    }
    case Glyph::Exit: {
      // An open door with an arrow leaving it.
      p.setBrush(QColor(180, 130, 80));
      pen(QColor(90, 60, 30), 1.5);
      p.drawRect(QRectF(5 * u, 4 * u, 13 * u, 24 * u));
      arrow(QColor(200, 30, 30), 3.5, {13, 16}, {28, 16}, {23, 11}, {23, 21});
      break;
    }
    case Glyph::Help: {
      p.setBrush(QColor(40, 100, 200));
      p.setPen(Qt::NoPen);
      p.drawEllipse(QRectF(3 * u, 3 * u, 26 * u, 26 * u));
      QFont f;
      f.setPixelSize(static_cast<int>(20 * u));
      f.setBold(true);
      p.setFont(f);
      p.setPen(Qt::white);
      p.drawText(QRectF(3 * u, 3 * u, 26 * u, 26 * u), Qt::AlignCenter, QStringLiteral("?"));
      break;
    }
    case Glyph::Resident: {
      // A window going down into the tray.
      p.setBrush(QColor(235, 235, 235));
      pen(QColor(60, 60, 60), 1.5);
      p.drawRect(QRectF(4 * u, 3 * u, 18 * u, 14 * u));
      p.setBrush(QColor(60, 90, 160));
      p.drawRect(QRectF(4 * u, 3 * u, 18 * u, 3 * u));
      p.setBrush(QColor(120, 120, 120));
      p.drawRect(QRectF(3 * u, 24 * u, 26 * u, 5 * u));
      p.setBrush(QColor(0, 140, 70));
      p.setPen(Qt::NoPen);
      p.drawEllipse(QRectF(22 * u, 24.5 * u, 4 * u, 4 * u));
      arrow(QColor(0, 140, 70), 3, {25, 8}, {25, 20}, {21, 16}, {29, 16});
      break;
    }
    case Glyph::Changes: {
      // A yellow warning triangle with an exclamation mark.
      QPainterPath tri;
      tri.moveTo(16 * u, 3 * u);
      tri.lineTo(30 * u, 28 * u);
      tri.lineTo(2 * u, 28 * u);
      tri.closeSubpath();
      p.setBrush(QColor(250, 200, 40));
      pen(QColor(150, 100, 0), 1.5);
      p.drawPath(tri);
      pen(QColor(40, 40, 40), 3.5);
      p.drawLine(QPointF(16 * u, 11 * u), QPointF(16 * u, 19 * u));
      p.drawPoint(QPointF(16 * u, 24 * u));
      break;
    }
    case Glyph::About: {
      p.setBrush(QColor(255, 255, 255));
      pen(QColor(40, 100, 200), 2);
      p.drawEllipse(QRectF(3 * u, 3 * u, 26 * u, 26 * u));
      pen(QColor(40, 100, 200), 3.5);
      p.drawLine(QPointF(16 * u, 14 * u), QPointF(16 * u, 23 * u));
      p.drawPoint(QPointF(16 * u, 9 * u));
      break;
    }
  }
  p.end();
  return QIcon(pm);
}

}  // namespace tavolen
