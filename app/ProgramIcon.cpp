#include "app/ProgramIcon.h"

namespace tavolen {

QIcon ProgramIcon() {
  static const QIcon icon = [] {
    QIcon built;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
      built.addFile(QStringLiteral(":/icons/tavolen-%1.png").arg(size), QSize(size, size));
    return QIcon::fromTheme(QStringLiteral("tavolen"), built);
  }();
  return icon;
}

}  // namespace tavolen
