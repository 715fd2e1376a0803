; The Windows installer: Tavolen-<version>-setup.exe, built by scripts/installer-windows.sh from
; the files of the zip. It installs for the signed-in user alone, without administrator rights,
; into %LOCALAPPDATA%\Programs\Tavolen, with a Start menu entry, an optional desktop shortcut
; and an uninstaller in "Apps and features". A marker file beside Tavolen.exe tells the program
; that it is installed: it then keeps the user's files in %LOCALAPPDATA%\Tavolen.
;
; Defined on makensis's command line:
;   VERSION      the program's version ("1.01")
;   VERSION4     the same as four numbers for the file's version resource ("1.1.0.0")
;   SRCDIR       the unpacked zip's folder
;   UNINSTALL    a file of Delete and RMDir lines for every file and folder of SRCDIR
;   ICON         the program's icon (dist/icons/tavolen.ico)
;   OUTFILE      the installer to write
;
; Silent use (/S), for scripts and tests:
;   Tavolen-<version>-setup.exe /S [/AUTOSTART] [/DESKTOPICON] [/D=folder]
;     /AUTOSTART     what the last page's check box "ログイン時に起動する" does
;     /DESKTOPICON   a desktop shortcut, as the component of that name
;   uninstall.exe /S [/REMOVEUSERDATA]
;     /REMOVEUSERDATA  also removes the per-user folder, as the uninstaller's check box does

Unicode true
Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma

!define PRODUCT "Tavolen"
!define PUBLISHER "Tavolen developers"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavolen"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define APPROVED_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
; The value the program's own menu item writes (app/AutostartWin32.cpp).
!define RUN_VALUE "Tavolen"
; The program's single-instance mutex (app/SingleInstance.h), of the log-on session.
!define INSTANCE_MUTEX "Local\quorrintavolenhenko"
; The per-user folders: the program's (app/AppFolders.h) and the stand-in's.
!define USER_FOLDER "$LOCALAPPDATA\Tavolen"
!define STANDIN_FOLDER "$LOCALAPPDATA\tavolen-jvlink-standin"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} セットアップ"
UninstallCaption "${PRODUCT} のアンインストール"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tavolen"
; An upgrade goes where the earlier version lies.
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=1041 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1041 "FileDescription" "${PRODUCT} セットアップ"
VIAddVersionKey /LANG=1041 "LegalCopyright" "${PUBLISHER}"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"

Var SignInWasOn  ; the Run value named this install before the installer ran

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!define MUI_WELCOMEPAGE_TEXT "競馬の開催日の変更情報を見張り、出馬表を表示する Tavolen ${VERSION} をインストールします。$\r$\n$\r$\n管理者の権限は要りません。このユーザーだけが使えるように、ユーザーのフォルダーにインストールします。設定とレースデータは %LOCALAPPDATA%\Tavolen に置かれ、アンインストールしても残ります。$\r$\n$\r$\n続けるには [次へ] をクリックしてください。"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Tavolen.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Tavolen を起動する"
; The second check box of the last page sets the start at sign-in.
!define MUI_FINISHPAGE_SHOWREADME ""
!define MUI_FINISHPAGE_SHOWREADME_TEXT "ログイン時に起動する"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
; The box is read in FinishLeave, before the program is started, so that a program started
; here already finds the automatic watch on; MUI's own call for the box does nothing more.
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION SignInChosen
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishShow
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE FinishLeave
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Japanese"

; ---- the Run value, as the program's menu item "ログイン時に起動する" writes it ----

; $0 = 1 when the Run value starts this install's Tavolen.exe (compared without regard to case).
!macro RunValueIsOurs un
Function ${un}RunValueIsOurs
  Push $1
  Push $2
  StrCpy $0 0
  ReadRegStr $1 HKCU "${RUN_KEY}" "${RUN_VALUE}"
  StrCpy $2 '"$INSTDIR\Tavolen.exe"'
  StrLen $3 $2
  StrCpy $1 $1 $3
  ${If} $1 == $2
    StrCpy $0 1
  ${EndIf}
  Pop $2
  Pop $1
FunctionEnd
!macroend
!insertmacro RunValueIsOurs ""
!insertmacro RunValueIsOurs "un."

; Tavolen already running holds its files open: say so and wait for it to end. In silent mode
; the installer ends with an error instead.
!macro WaitForProgramEnd un
Function ${un}WaitForProgramEnd
  retry:
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE_MUTEX}") p .r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Tavolen が起動しています。$\r$\nタスクトレイのアイコンのメニューから「終了」を選んでプログラムを終了してから、[再試行] をクリックしてください。" /SD IDCANCEL IDRETRY retry
    SetErrorLevel 3
    Quit
  ${EndIf}
FunctionEnd
!macroend
!insertmacro WaitForProgramEnd ""
!insertmacro WaitForProgramEnd "un."

Function SignInOn
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\Tavolen.exe" --autostart'
  ; A start switched off in Task Manager is switched on again, as the program's item does.
  DeleteRegValue HKCU "${APPROVED_KEY}" "${RUN_VALUE}"
  ; Started at sign-in, the program watches the meeting day by itself: the item turns the
  ; automatic watch on as well.
  CreateDirectory "${USER_FOLDER}"
  WriteINIStr "${USER_FOLDER}\Tavolen.ini" "Auto" "watch" "1"
FunctionEnd

Function SignInOff
  Call RunValueIsOurs
  ${If} $0 == 1
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
    DeleteRegValue HKCU "${APPROVED_KEY}" "${RUN_VALUE}"
  ${EndIf}
FunctionEnd

; An upgrade shows the check box as the earlier version left it.
Function FinishShow
  ${If} $SignInWasOn == 1
    ${NSD_SetState} $mui.FinishPage.ShowReadme ${BST_CHECKED}
  ${EndIf}
FunctionEnd

Function FinishLeave
  ${NSD_GetState} $mui.FinishPage.ShowReadme $0
  ${If} $0 == ${BST_CHECKED}
    Call SignInOn
  ${Else}
    Call SignInOff
  ${EndIf}
FunctionEnd

Function SignInChosen
FunctionEnd


; ---- install ----

Section "Tavolen 本体" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File /r "${SRCDIR}/*"
  ; The marker: the program keeps the user's files in the per-user folder.
  FileOpen $0 "$INSTDIR\installed-layout" w
  FileWrite $0 "This file marks a Tavolen installed by its installer. A Tavolen.exe with this$\r$\n"
  FileWrite $0 "file beside it keeps the user's settings, error log and race data in$\r$\n"
  FileWrite $0 "%LOCALAPPDATA%\Tavolen and never writes beside itself.$\r$\n"
  FileClose $0
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Tavolen.lnk" "$INSTDIR\Tavolen.exe" "" "$INSTDIR\Tavolen.exe" 0 \
    SW_SHOWNORMAL "" "競馬の開催日の変更情報を見張り、出馬表を表示します"

  ; "Apps and features"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" '"$INSTDIR\Tavolen.exe",0'
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" "$0"
SectionEnd

Section /o "デスクトップにショートカットを作る" SecDesktop
  CreateShortcut "$DESKTOP\Tavolen.lnk" "$INSTDIR\Tavolen.exe" "" "$INSTDIR\Tavolen.exe" 0
SectionEnd

; In silent mode the switch stands for the last page's check box; without it an upgrade keeps
; the start at sign-in as it was (the program's path is the same).
Section "-SignInSilent"
  ${If} ${Silent}
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/AUTOSTART" $R1
    ${IfNot} ${Errors}
      Call SignInOn
    ${EndIf}
  ${EndIf}
SectionEnd

Function .onInit
  Call WaitForProgramEnd
  Call RunValueIsOurs
  StrCpy $SignInWasOn $0
  ; An earlier version's desktop shortcut is kept up to date.
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/DESKTOPICON" $R1
  ${IfNot} ${Errors}
  ${OrIf} ${FileExists} "$DESKTOP\Tavolen.lnk"
    !insertmacro SelectSection ${SecDesktop}
  ${EndIf}
FunctionEnd

; ---- uninstall ----

Section "un.Tavolen 本体" UnSecProgram
  SectionIn RO
  ; The start at sign-in of this install; one naming another copy (a portable folder) stays.
  Call un.RunValueIsOurs
  ${If} $0 == 1
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
    DeleteRegValue HKCU "${APPROVED_KEY}" "${RUN_VALUE}"
  ${EndIf}
  Delete "$SMPROGRAMS\Tavolen.lnk"
  Delete "$DESKTOP\Tavolen.lnk"
  ; The installed files one by one, so that nothing else in the folder is lost.
  !include "${UNINSTALL}"
  Delete "$INSTDIR\installed-layout"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINST_KEY}"
SectionEnd

Section /o "un.設定・お気に入り・レースデータも削除する" UnSecUserData
  RMDir /r "${USER_FOLDER}"
  RMDir /r "${STANDIN_FOLDER}"
SectionEnd

Function un.onInit
  Call un.WaitForProgramEnd
  ${un.GetParameters} $R0
  ClearErrors
  ${un.GetOptions} $R0 "/REMOVEUSERDATA" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecUserData}
  ${EndIf}
FunctionEnd
