; The Cantorix installer. Built by dist/CMakeLists.txt with
;   makensis -DVERSION=1.2.3 -DVERSION4=1.2.3.0 -DPUBLISHER=... -DCOPYRIGHT=...
;            -DBIN=<folder of the built programs> -DOUTFILE=<installer>
; Installs the programs, the help file and the guide, creates the settings
; key with "Application Path" and the auto-play values (a user's own values
; are kept), the file types (FileTypes.nsh), Start-menu shortcuts and the
; Add/Remove Programs entry. /S runs it (and
; the uninstaller) silently.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "${__FILEDIR__}/FileTypes.nsh"

!define SETTINGS_KEY "Software\Vex\Vex Cantorix Wavesmith"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Cantorix"
!define MENU_FOLDER "$SMPROGRAMS\Cantorix"

; Handset is packed, and gets its shortcut, only when it was built.
!if /FileExists "${BIN}/Handset.exe"
  !define WITH_HANDSET
!endif

Name "Cantorix ${VERSION}"
DirText "Cantorix plays CDs, MIDI files, WAV, MP3, FLAC and Ogg Vorbis files, and records WAV files. Setup installs it and Handset, its remote control, into this folder."
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vex\Cantorix"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=1033 "ProductName" "Cantorix"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Cantorix ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  ; The programs are 64-bit and read the 64-bit registry.
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

; A number the user may already have chosen stays as it is.
!macro KeepOrSetDword NAME VALUE
  ClearErrors
  ReadRegDWORD $0 HKLM "${SETTINGS_KEY}" "${NAME}"
  ${If} ${Errors}
    WriteRegDWORD HKLM "${SETTINGS_KEY}" "${NAME}" ${VALUE}
  ${EndIf}
!macroend

Section "Cantorix"
  SetOutPath "$INSTDIR"
  File "${BIN}/Cantorix.exe"
  File "${BIN}/CantorixGuide.html"
  File "${BIN}/Cantorix.chm"
!if /FileExists "${BIN}/TimGM6mb.sf2"
  ; The SoundFont MIDI files play with where the system has no MIDI device.
  File "${BIN}/TimGM6mb.sf2"
  File "${BIN}/TimGM6mb-licence.txt"
!endif
!ifdef WITH_HANDSET
  File "${BIN}/Handset.exe"
!endif
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${SETTINGS_KEY}" "Application Path" "$INSTDIR"
  !insertmacro KeepOrSetDword "CanAutoPlayCD" 0
  !insertmacro KeepOrSetDword "CanAutoPlayMp3List" 0

  !insertmacro WriteFileTypes

  CreateDirectory "${MENU_FOLDER}"
  CreateShortcut "${MENU_FOLDER}\Cantorix.lnk" "$INSTDIR\Cantorix.exe"
!ifdef WITH_HANDSET
  CreateShortcut "${MENU_FOLDER}\Handset.lnk" "$INSTDIR\Handset.exe"
!endif
  CreateShortcut "${MENU_FOLDER}\Cantorix Guide.lnk" "$INSTDIR\CantorixGuide.html"
  CreateShortcut "${MENU_FOLDER}\Uninstall Cantorix.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Cantorix"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Cantorix.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; Only what the installer put there goes: list files, CXDB.INI and
; recordings the user keeps in the folder stay, and so does the folder then.
Section "Uninstall"
  Delete "$INSTDIR\Cantorix.exe"
  Delete "$INSTDIR\Handset.exe"
  Delete "$INSTDIR\CantorixGuide.html"
  Delete "$INSTDIR\Cantorix.chm"
  Delete "$INSTDIR\TimGM6mb.sf2"
  Delete "$INSTDIR\TimGM6mb-licence.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  Delete "${MENU_FOLDER}\Cantorix.lnk"
  Delete "${MENU_FOLDER}\Handset.lnk"
  Delete "${MENU_FOLDER}\Cantorix Guide.lnk"
  Delete "${MENU_FOLDER}\Uninstall Cantorix.lnk"
  RMDir "${MENU_FOLDER}"

  ; The program's location goes with it; the auto-play choices are the user's.
  DeleteRegValue HKLM "${SETTINGS_KEY}" "Application Path"
  DeleteRegKey /ifempty HKLM "${SETTINGS_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  !insertmacro RemoveFileTypes
SectionEnd
