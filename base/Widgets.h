// Small pieces shared by the program's windows: the fonts, a label with a raised or engraved
// look, and the glyphs the program draws itself (no image files are shipped).
#pragma once

#include <QIcon>
#include <QLabel>

#include "jvlink/Sjis.h"

namespace tavolen {

// The Japanese fixed-pitch face the windows ask for, and the faces of this desktop that stand
// in for it (IPA Gothic first, so full- and half-width characters keep a 2:1 width).
inline constexpr const char* kMsGothic = "ＭＳ ゴシック";
void InstallFontSubstitutions();
// "ＭＳ ゴシック" at the given pixel height.
QFont GothicFont(int pixelSize, bool bold = false);

// A code page 932 text for a Qt widget.
inline QString Qs(const SjisString& sjis) {
  return QString::fromStdU16String(SjisToUtf16(sjis));
}
// A Qt text as code page 932.
inline SjisString SjisOf(const QString& text) {
  return Utf16ToSjis(text.toStdU16String());
}

// A label drawn with a 3-D text look: raised (light above left, shadow below right) or
// engraved (light below right).
class Label3D : public QLabel {
  Q_OBJECT
 public:
  enum class Look { Flat, Raised, Engraved };
  explicit Label3D(const QString& text = {}, Look look = Look::Raised, QWidget* parent = nullptr);

  Look look() const { return look_; }
  void setLook(Look look);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Look look_;
};

enum class Glyph { Program, Acquire, Exit, Help, Resident, Changes, About };
// The program's own drawings, at size × size pixels.
QIcon DrawGlyph(Glyph glyph, int size = 32);

}  // namespace tavolen
