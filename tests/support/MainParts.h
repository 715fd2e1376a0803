// The main window's parts as the tests reach them: by their object names (the original
// program's control names), as a user's tools would find them. Header only, no test framework.
#pragma once

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <cstdlib>

#include "base/Widgets.h"
#include "changes/ChangeWatch.h"

namespace tavolen::testsupport {

// A part of a window by its object name, as the user's tools would find it.
template <typename T>
T* Part(const QObject& window, const char* name) {
  T* part = window.findChild<T*>(QString::fromLatin1(name));
  if (!part) {
    // A test that reaches for a part the window no longer has stops here, saying which.
    std::fprintf(stderr, "the window has no part named %s\n", name);
    std::abort();
  }
  return part;
}
// The main window's automatic check timer (the change watch's Timer4).
inline QTimer* CheckTimer(const QObject& mainWindow) {
  return Part<QTimer>(mainWindow, "Timer4");
}
// The change watch and its change events.
inline ChangeWatch& Watch(const QObject& mainWindow) {
  return *Part<ChangeWatch>(mainWindow, "ChangeWatch");
}
inline ChangeEvents& Events(const QObject& mainWindow) {
  return Watch(mainWindow).Events();
}
// The change watch's status in the status line.
inline SjisString WatchStatusText(const QObject& mainWindow) {
  return SjisOf(Part<QLabel>(mainWindow, "WatchLabel")->text());
}

// The main window's controls, found by their object names (the original program's names).
struct MainParts {
  QWidget* ToolBar1;
  QToolButton *JVBtn, *SpeedButton1, *SpeedButton2, *SpeedButton4, *SpeedButton5, *SpeedButton6;
  QComboBox* DateCombo;
  QFrame* Panel2;
  Label3D *Label3D1, *Label3D2, *Label3D3, *Label3D4, *Label3D5, *Label3D6, *Label3D7, *Label3D8,
      *Label3D9, *Label3D10;
  QLabel *DLlabel, *GuideLabel;
  QWidget *Panel1, *Panel5;
  QListWidget* DatList;
  QTableWidget* StringGrid2;
  QMenu *PopupMenu1, *FileMenu, *OptionMenu, *HelpMenu, *PopupMenuTrayIcon1,
      *PopupMenuTrayIcon1Help;
  QStatusBar* StatusLine;
  QAction *N18, *J1, *FileExitItem, *N2, *N5, *CardChangesItem, *HelpContentsItem, *HelpAboutItem,
      *N4, *utorial1, *PopupMenuTrayIcon1About, *PopupMenuTrayIcon1Exit;
};

inline MainParts Parts(const QObject& w) {
  MainParts p{};
#define TAVOLEN_PART(type, name) p.name = Part<type>(w, #name)
  TAVOLEN_PART(QWidget, ToolBar1);
  TAVOLEN_PART(QToolButton, JVBtn);
  TAVOLEN_PART(QToolButton, SpeedButton1);
  TAVOLEN_PART(QToolButton, SpeedButton2);
  TAVOLEN_PART(QToolButton, SpeedButton4);
  TAVOLEN_PART(QToolButton, SpeedButton5);
  TAVOLEN_PART(QToolButton, SpeedButton6);
  TAVOLEN_PART(QComboBox, DateCombo);
  TAVOLEN_PART(QFrame, Panel2);
  TAVOLEN_PART(Label3D, Label3D1);
  TAVOLEN_PART(Label3D, Label3D2);
  TAVOLEN_PART(Label3D, Label3D3);
  TAVOLEN_PART(Label3D, Label3D4);
  TAVOLEN_PART(Label3D, Label3D5);
  TAVOLEN_PART(Label3D, Label3D6);
  TAVOLEN_PART(Label3D, Label3D7);
  TAVOLEN_PART(Label3D, Label3D8);
  TAVOLEN_PART(Label3D, Label3D9);
  TAVOLEN_PART(Label3D, Label3D10);
  TAVOLEN_PART(QLabel, DLlabel);
  TAVOLEN_PART(QLabel, GuideLabel);
  TAVOLEN_PART(QWidget, Panel1);
  TAVOLEN_PART(QWidget, Panel5);
  TAVOLEN_PART(QListWidget, DatList);
  TAVOLEN_PART(QTableWidget, StringGrid2);
  TAVOLEN_PART(QMenu, PopupMenu1);
  TAVOLEN_PART(QMenu, FileMenu);
  TAVOLEN_PART(QMenu, OptionMenu);
  TAVOLEN_PART(QMenu, HelpMenu);
  TAVOLEN_PART(QMenu, PopupMenuTrayIcon1);
  TAVOLEN_PART(QMenu, PopupMenuTrayIcon1Help);
  TAVOLEN_PART(QStatusBar, StatusLine);
  TAVOLEN_PART(QAction, N18);
  TAVOLEN_PART(QAction, J1);
  TAVOLEN_PART(QAction, FileExitItem);
  TAVOLEN_PART(QAction, N2);
  TAVOLEN_PART(QAction, N5);
  TAVOLEN_PART(QAction, CardChangesItem);
  TAVOLEN_PART(QAction, HelpContentsItem);
  TAVOLEN_PART(QAction, HelpAboutItem);
  TAVOLEN_PART(QAction, N4);
  TAVOLEN_PART(QAction, utorial1);
  TAVOLEN_PART(QAction, PopupMenuTrayIcon1About);
  TAVOLEN_PART(QAction, PopupMenuTrayIcon1Exit);
#undef TAVOLEN_PART
  return p;
}

}  // namespace tavolen::testsupport
