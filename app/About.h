// The version box: a picture, the version, a credit line, OK and a button that opens the
// maker's home page.
#pragma once

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <filesystem>
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
  // Shows where the program keeps its files: the layout's name (UTF-8) and the folder.
  void ShowFolder(const std::string& layoutName, const std::filesystem::path& folder);

  QFrame* Panel1 = nullptr;  // the framed picture
  Label3D* Label3D1 = nullptr;
  QLabel* CreditLabel = nullptr;
  QLabel* FolderLabel = nullptr;  // the application folder in use; empty until ShowFolder
  QPushButton* MsgBitBtn1 = nullptr;
  QPushButton* Button1 = nullptr;

 private:
  Desktop& desktop_;
  StartBrowser startBrowser_;
};

}  // namespace tavolen
