// Writes pictures of the main window, the change window and the version box, filled with a
// sample race day, as PNG files into the folder given as the first argument.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTableWidget>
#include <cstdio>

#include "app/About.h"
#include "app/Main.h"
#include "app/Widgets.h"
#include "changes/henkoUnit.h"
#include "racecard/RaceCardDelegate.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedJVLink.h"

using namespace tavolen;

namespace {

bool Save(QWidget& w, const QString& file) {
  w.show();
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  const bool ok = w.grab().save(file, "PNG");
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", file.toLocal8Bit().constData());
  return ok;
}

void FillSampleRace(TMainForm& f) {
  for (const char* d : {"2005年01月09日", "2005年01月08日", "2005年01月05日"})
    f.DateCombo->addItem(Qs(Sj(d)));
  f.DateCombo->setCurrentIndex(1);
  f.Label3D1->setText(Qs(Sj("中山")));
  f.Label3D2->setText(QStringLiteral("11"));
  f.Label3D2->setAutoFillBackground(true);
  f.Label3D3->setText(Qs(Sj("2005年 1月 8日 中山 1回 1日")));
  f.Label3D4->setText(Qs(Sj("日刊スポーツ賞中山金杯")));
  f.Label3D5->setText(Qs(Sj("ハンデ")));
  f.Label3D6->setText(Qs(Sj("オープン")));
  f.Label3D7->setText(Qs(Sj("芝・右")));
  f.Label3D8->setText(Qs(Sj("2000m")));
  f.Label3D9->setText(Qs(Sj("15時25分発走")));
  f.Label3D10->setText(Qs(Sj("16頭")));
  for (const char* r :
       {"中山 1R", "中山 2R", "中山10R", "中山11R", "中山12R", "京都 1R", "京都11R"})
    f.DatList->addItem(Qs(Sj(r)));
  f.DatList->blockSignals(true);
  f.DatList->setCurrentRow(3);
  f.DatList->blockSignals(false);
  const char* rows[][9] = {
      {"1", "01", "マイネルアムンゼン", "牡 5", "56.0kg", "柴田善", "畠山重", "", ""},
      {"1", "02", "クラフトワーク", "牡 5", "57.5kg", "後藤", "中野栄", "ﾌﾞﾘﾝｶ", ""},
      {"2", "03", "ヴィータローザ", "牡 5", "57.0kg", "蛯名", "橋口弘", "", ""},
      {"2", "04", "メイショウカイドウ", "牡 6", "56.0kg", "武幸", "坂口正", "", "1kg減"},
      {"3", "05", "アサカディフィート", "セ 7", "55.0kg", "田中勝", "鶴留明", "", ""},
  };
  CardGrid grid{CardHeaderRow()};
  for (const auto& row : rows) {
    CardRow r;
    for (int c = 0; c < kCardColumns; ++c) r[c] = Sj(row[c]);
    grid.push_back(r);
  }
  ShowCardInGrid(*f.StringGrid2, grid);
  f.Panel1->setVisible(true);
  f.StatusLine->showMessage(Qs(Sj("変更情報を表示します")));
}

void FillSampleChanges(THenkoForm& h) {
  h.SetLines(
      1, {Sj("中山 01/08 07:30 晴    良     良    "), Sj("京都 01/08 07:30 曇    稍重   良    ")});
  h.SetLines(2, {Sj("中山 3R 01/08 08:55 ⑤ アサカディフィート  出走取消疾病"),
                 Sj("京都11R 01/08 10:02 ⑫ メイショウカイドウ  競走除外疾病")});
  h.SetLines(3, {Sj("中山11R 01/08 09:10 柴田善  ⇒後藤    [57.5] ② クラフトワーク")});
  h.SetLines(4, {Sj("中山 9R 01/08 11:40 14:35⇒14:45")});
  h.SetLines(5, {Sj("京都 7R 01/08 09:20 ダ右1800m⇒芝右1800m")});
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  InstallFontSubstitutions();
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
  QDir().mkpath(out);
  const fs::path work = fs::path(QDir(out).absolutePath().toStdString()) / "app-folder";
  fs::remove_all(work);
  fs::create_directories(work);

  RecordingDesktop desktop;
  FakeClock clock{LocalDateTime{2005, 1, 8, 9, 30, 0}};
  ScriptedJVLink jv;
  MainFormDeps deps{work, "Tavolen", desktop, clock, jv, [](QDialog&) { return 0; }, [] {}};
  bool ok = true;
  {
    TMainForm empty(deps);
    ok &= Save(empty, out + "/main-start.png");
  }
  TMainForm form(deps);
  THenkoForm henko(form.IniGT1.path(), &desktop);
  form.HenkoForm = &henko;
  form.resize(700, 450);
  FillSampleRace(form);
  ok &= Save(form, out + "/main.png");
  FillSampleChanges(henko);
  ok &= Save(henko, out + "/changes.png");
  TAboutBox about(desktop, &form);
  about.Label3D1->setText(QStringLiteral("Ver.1.01"));
  ok &= Save(about, out + "/about.png");
  form.FileMenu->popup(form.mapToGlobal(QPoint(0, 0)));
  fs::remove_all(work);
  return ok ? 0 : 1;
}
