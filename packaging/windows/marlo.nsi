; SPDX-License-Identifier: MIT
; The installer of Marlo for Windows. It installs for the current user, without administrator
; rights, into %LOCALAPPDATA%\Programs\Marlo, adds a Start-menu shortcut, registers its
; uninstaller under Apps and offers Marlo under "Open with" for .bmp and .png files, without taking
; the default program of either from anyone; /S runs either silently. The uninstaller removes the
; files the installer put down (LISTS\files.nsh names them), the shortcut and the registrations,
; and nothing else.
; makensis -DVERSION=... -DSTAGE=<folder of the program> -DLISTS=<folder of files.nsh> -DICON=... -DOUTFILE=...
Unicode true
; A 64-bit installer for a 64-bit program: it also runs where Windows (or Wine) has no 32-bit side.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
!include "MUI2.nsh"
!include "LogicLib.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Marlo"
; "Open with": a file type of Marlo's own that opens a picture with it, named among the programs
; of .bmp and .png (OpenWithProgids), and the program itself with the types it takes. The default
; program of a type is the user's choice, under the type's own key, which is left alone.
!define CLASSES "Software\Classes"
!define PROGID "Marlo.Picture"
!define APP_KEY "${CLASSES}\Applications\marlo.exe"

; Removes a key of the user's only when it holds neither values nor keys, as after Marlo's were
; taken out of it: another program's values in it stay (NSIS's /ifempty looks at keys only).
!macro DeleteEmptyUserKey KEY
  System::Call 'shlwapi::SHDeleteEmptyKeyW(p 0x80000001, w "${KEY}") i'
!macroend

; Explorer reads the associations again.
!macro AssociationsChanged
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

Name "Marlo"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Marlo"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "Marlo"
VIAddVersionKey /LANG=0 "FileDescription" "Marlo setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (c) 2026 The Marlo developers, MIT licence"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "English"

!macro OpenWith EXT
  WriteRegStr HKCU "${CLASSES}\${EXT}\OpenWithProgids" "${PROGID}" ""
  WriteRegStr HKCU "${APP_KEY}\SupportedTypes" "${EXT}" ""
!macroend

!macro UnOpenWith EXT
  DeleteRegValue HKCU "${CLASSES}\${EXT}\OpenWithProgids" "${PROGID}"
  !insertmacro DeleteEmptyUserKey "${CLASSES}\${EXT}\OpenWithProgids"
  !insertmacro DeleteEmptyUserKey "${CLASSES}\${EXT}"
!macroend

Section "Marlo"
  !include "${LISTS}/files.nsh"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Marlo.lnk" "$INSTDIR\marlo.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Marlo"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Marlo developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\marlo.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  ; _?= runs the uninstaller where it is: a copy run from the temporary folder, as NSIS otherwise
  ; makes, would be left there until the next restart.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" _?=$INSTDIR'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

  WriteRegStr HKCU "${CLASSES}\${PROGID}" "" "Marlo picture"
  WriteRegStr HKCU "${CLASSES}\${PROGID}\DefaultIcon" "" '"$INSTDIR\marlo.exe",0'
  WriteRegStr HKCU "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\marlo.exe" "%1"'
  WriteRegStr HKCU "${APP_KEY}" "FriendlyAppName" "Marlo"
  WriteRegStr HKCU "${APP_KEY}\shell\open\command" "" '"$INSTDIR\marlo.exe" "%1"'
  !insertmacro OpenWith ".bmp"
  !insertmacro OpenWith ".png"
  !insertmacro AssociationsChanged
SectionEnd

Section "Uninstall"
  !include "${LISTS}/unfiles.nsh"
  Delete "$SMPROGRAMS\Marlo.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall"
  !insertmacro UnOpenWith ".bmp"
  !insertmacro UnOpenWith ".png"
  DeleteRegKey HKCU "${CLASSES}\${PROGID}"
  DeleteRegKey HKCU "${APP_KEY}"
  !insertmacro DeleteEmptyUserKey "${CLASSES}\Applications"
  ; Windows always has the user's classes key; a fresh Wine prefix has none until it is written.
  !insertmacro DeleteEmptyUserKey "${CLASSES}"
  !insertmacro AssociationsChanged
  SetOutPath "$TEMP" ; a folder that is some process's current one cannot go
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ${If} ${FileExists} "$INSTDIR\*.*"
    ; The uninstaller runs from there, so its file and folder outlast it: a hidden command takes
    ; them once it has ended (trying each second for half a minute), and leaves nothing of its own.
    ExecShell "" "$SYSDIR\cmd.exe" '/c for /l %i in (1,1,30) do @(ping -n 2 127.0.0.1 >nul 2>&1 & del /f /q "$INSTDIR\uninstall.exe" >nul 2>&1 & rd "$INSTDIR" >nul 2>&1 & if not exist "$INSTDIR\" exit)' SW_HIDE
  ${EndIf}
SectionEnd
