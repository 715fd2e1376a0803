#include "app/TrayState.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>

#include "acquire/AcquisitionSession.h"
#include "app/ProgramIcon.h"

namespace tavolen {

TrayState DecideTrayState(const TrayInputs& in) {
  if (in.waitingOnWindow) return TrayState::WaitingOnWindow;
  if (!in.failure.empty()) return TrayState::Failing;
  if (in.todayWatched && in.meetingToday) return TrayState::Watching;
  return TrayState::NothingToWatch;
}

SjisString TrayTip(const TrayInputs& in, const SjisString& baseTip) {
  switch (DecideTrayState(in)) {
    case TrayState::WaitingOnWindow:
      return Sj(kWaitingOnJVLinkWindow) + "\n" + baseTip;
    case TrayState::Failing:
      return Sj("エラー：") + in.failure + "\n" + baseTip;
    case TrayState::Watching:
    case TrayState::NothingToWatch:
      break;
  }
  return baseTip;
}

void TrayFailures::Set(std::string_view step, const SjisString& reason) {
  auto it = std::find_if(failing_.begin(), failing_.end(),
                         [&](const auto& f) { return f.first == step; });
  if (it != failing_.end()) {
    if (it->second == reason) return;
    failing_.erase(it);
  }
  if (!reason.empty()) failing_.emplace_back(std::string(step), reason);
}

namespace {

// The sizes the program icon comes in, up to what a tray asks for.
constexpr std::array<int, 6> kTraySizes = {16, 22, 24, 32, 48, 64};

// Grey: the colours drawn into the middle greys, so the shape stays readable on a dark and on a
// light panel while it plainly says "not at work".
QPixmap Greyed(const QPixmap& source) {
  QImage image = source.toImage().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const int g = 64 + qGray(line[x]) * 160 / 255;
      line[x] = qRgba(g, g, g, qAlpha(line[x]));
    }
  }
  return QPixmap::fromImage(image);
}

// A round badge in the bottom right corner: a disc of fill with a ring of outline around it (the
// ring keeps it apart from the icon and from any panel), and its mark drawn in ink.
void PaintBadge(QPixmap& pixmap, QColor fill, QColor outline, QColor ink, TrayState state) {
  const double s = pixmap.width();
  // At 16 pixels the badge takes most of a corner; larger icons need less.
  const double d = s <= 16 ? 11 : s <= 24 ? s * 0.6 : s * 0.52;
  const double ring = std::max(1.0, s / 16.0);
  const QRectF disc(s - d, s - d, d, d);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(outline);
  p.drawEllipse(disc);
  p.setBrush(fill);
  p.drawEllipse(disc.adjusted(ring, ring, -ring, -ring));
  const QPointF c = disc.center();
  const double inner = d - 2 * ring;
  p.setBrush(ink);
  if (state == TrayState::Failing) {
    // "!": a bar and a dot.
    const double w = std::max(1.6, inner * 0.2);
    p.drawRoundedRect(QRectF(c.x() - w / 2, c.y() - inner * 0.34, w, inner * 0.42), w / 3, w / 3);
    p.drawEllipse(QPointF(c.x(), c.y() + inner * 0.25), w * 0.55, w * 0.55);
  } else {
    // "…": three dots, a wait.
    const double r = std::max(0.9, inner * 0.1);
    for (double dx : {-0.28, 0.0, 0.28}) p.drawEllipse(QPointF(c.x() + dx * inner, c.y()), r, r);
  }
}

QIcon Build(TrayState state) {
  QIcon icon;
  for (int size : kTraySizes) {
    QPixmap pm = ProgramIcon().pixmap(QSize(size, size), 1.0);
    if (pm.size() != QSize(size, size))
      pm = pm.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    switch (state) {
      case TrayState::Watching:
        break;
      case TrayState::NothingToWatch:
        pm = Greyed(pm);
        break;
      case TrayState::WaitingOnWindow:
        PaintBadge(pm, QColor(255, 184, 0), QColor(32, 32, 32), QColor(32, 32, 32), state);
        break;
      case TrayState::Failing:
        PaintBadge(pm, QColor(214, 32, 32), Qt::white, Qt::white, state);
        break;
    }
    icon.addPixmap(pm);
  }
  return icon;
}

}  // namespace

QIcon TrayIcon(TrayState state) {
  static std::array<QIcon, 4> icons;
  QIcon& icon = icons[static_cast<size_t>(state)];
  if (icon.isNull()) icon = Build(state);
  return icon;
}

}  // namespace tavolen
