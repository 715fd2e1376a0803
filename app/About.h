// The version box: a picture, the version, a credit line, OK and a button that opens the
// maker's home page.
#pragma once

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <functional>
#include <string>

namespace tavolen {

class Desktop;
class Label3D;

inline constexpr const char* kHomePageAddress = "https://jra-van.jp/dlb/";

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  // Starts a program that opens an address; the default starts xdg-open.
  using StartBrowser = std::function<bool(const std::string& url)>;

  explicit TAboutBox(Desktop& desktop, QWidget* parent = nullptr, StartBrowser startBrowser = {});

  void Button1Click();

  QFrame* Panel1 = nullptr;  // the framed picture
  Label3D* Label3D1 = nullptr;
  QLabel* CreditLabel = nullptr;
  QPushButton* MsgBitBtn1 = nullptr;
  QPushButton* Button1 = nullptr;

 private:
  Desktop& desktop_;
  StartBrowser startBrowser_;
};

}  // namespace tavolen
