; File types for Cantorix.nsi: one ProgID per kind of file Cantorix plays,
; each with the program's icon and an open verb that passes the path as one
; quoted argument. Every extension lists its ProgID under OpenWithProgids,
; and Applications\Cantorix.exe names them all as supported types, so the
; program is offered in "Open with" for each. An extension's default is set
; only where none is set yet: a default another program holds stays.
; The uninstaller takes away exactly that again: a default that still names
; our ProgID was ours, since we set none over another.

!define CLASSES "Software\Classes"
!define APP_KEY "${CLASSES}\Applications\Cantorix.exe"

!macro FileKind PROGID DESCRIPTION
  WriteRegStr HKLM "${CLASSES}\${PROGID}" "" "${DESCRIPTION}"
  WriteRegStr HKLM "${CLASSES}\${PROGID}\DefaultIcon" "" "$INSTDIR\Cantorix.exe,0"
  WriteRegStr HKLM "${CLASSES}\${PROGID}\shell" "" "open"
  WriteRegStr HKLM "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\Cantorix.exe" "%1"'
!macroend

!macro FileExtension EXT PROGID
  WriteRegNone HKLM "${CLASSES}\${EXT}\OpenWithProgids" "${PROGID}"
  WriteRegStr HKLM "${APP_KEY}\SupportedTypes" "${EXT}" ""
  ; The merged view: a per-user default counts as held too.
  ReadRegStr $0 HKCR "${EXT}" ""
  ${If} $0 == ""
    WriteRegStr HKLM "${CLASSES}\${EXT}" "" "${PROGID}"
  ${EndIf}
!macroend

!macro un.FileExtension EXT PROGID
  DeleteRegValue HKLM "${CLASSES}\${EXT}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKLM "${CLASSES}\${EXT}\OpenWithProgids"
  ReadRegStr $0 HKLM "${CLASSES}\${EXT}" ""
  ${If} $0 == "${PROGID}"
    DeleteRegValue HKLM "${CLASSES}\${EXT}" ""
  ${EndIf}
  DeleteRegKey /ifempty HKLM "${CLASSES}\${EXT}"
!macroend

; The table, once for installing and once for removing.
!macro ForEachFileType MACRO
  !insertmacro ${MACRO} ".wav" "Cantorix.Wave"
  !insertmacro ${MACRO} ".mp1" "Cantorix.Mpeg"
  !insertmacro ${MACRO} ".mp2" "Cantorix.Mpeg"
  !insertmacro ${MACRO} ".mp3" "Cantorix.Mpeg"
  !insertmacro ${MACRO} ".mpa" "Cantorix.Mpeg"
  !insertmacro ${MACRO} ".mid" "Cantorix.Midi"
  !insertmacro ${MACRO} ".rmi" "Cantorix.Midi"
  !insertmacro ${MACRO} ".m3u" "Cantorix.List"
  !insertmacro ${MACRO} ".m3u8" "Cantorix.List"
  !insertmacro ${MACRO} ".flac" "Cantorix.Flac"
  !insertmacro ${MACRO} ".ogg" "Cantorix.Ogg"
  !insertmacro ${MACRO} ".oga" "Cantorix.Ogg"
!macroend

!macro WriteFileTypes
  !insertmacro FileKind "Cantorix.Wave" "WAV sound (Cantorix)"
  !insertmacro FileKind "Cantorix.Mpeg" "MPEG audio (Cantorix)"
  !insertmacro FileKind "Cantorix.Midi" "MIDI music (Cantorix)"
  !insertmacro FileKind "Cantorix.List" "Playlist (Cantorix)"
  !insertmacro FileKind "Cantorix.Flac" "FLAC audio (Cantorix)"
  !insertmacro FileKind "Cantorix.Ogg" "Ogg Vorbis audio (Cantorix)"
  WriteRegStr HKLM "${APP_KEY}" "FriendlyAppName" "Cantorix"
  WriteRegStr HKLM "${APP_KEY}\DefaultIcon" "" "$INSTDIR\Cantorix.exe,0"
  WriteRegStr HKLM "${APP_KEY}\shell\open\command" "" '"$INSTDIR\Cantorix.exe" "%1"'
  !insertmacro ForEachFileType FileExtension
  ; Explorer redraws its icons and menus (SHCNE_ASSOCCHANGED, SHCNF_IDLIST).
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

!macro RemoveFileTypes
  !insertmacro ForEachFileType un.FileExtension
  DeleteRegKey HKLM "${APP_KEY}"
  DeleteRegKey HKLM "${CLASSES}\Cantorix.Wave"
  DeleteRegKey HKLM "${CLASSES}\Cantorix.Mpeg"
  DeleteRegKey HKLM "${CLASSES}\Cantorix.Midi"
  DeleteRegKey HKLM "${CLASSES}\Cantorix.List"
  DeleteRegKey HKLM "${CLASSES}\Cantorix.Flac"
  DeleteRegKey HKLM "${CLASSES}\Cantorix.Ogg"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend
