; The Nimbrel setup program. It installs the namespace module, its German
; texts, the nimbrel tool and a read-me into the 64-bit Program Files,
; registers the module through the 64-bit regsvr32 (so the registry holds
; exactly what DllRegisterServer writes), and adds Nimbrel to the installed
; apps. Installing over an installed Nimbrel upgrades it in place.
;
; The build passes what goes in (cmake/Packaging.cmake):
;   VERSION (four numbers), OUTPUT, MODULE, GERMAN_MODULE, TOOL, README, ICON
; The setup program itself is a 32-bit program, as NSIS makes them: every
; registry access goes to the 64-bit view, and system programs are taken
; from SysNative, never from the 32-bit System32.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include WordFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Nimbrel"
!define RUN_ONCE_KEY "Software\Microsoft\Windows\CurrentVersion\RunOnce"
!define REGSVR32 "$WINDIR\SysNative\regsvr32.exe"

Name "Nimbrel ${VERSION}"
OutFile "${OUTPUT}"
InstallDir "$PROGRAMFILES64\Nimbrel"
BrandingText "Nimbrel ${VERSION}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "Nimbrel"
VIAddVersionKey /LANG=0 "CompanyName" "Korvel"
VIAddVersionKey /LANG=0 "LegalCopyright" "Korvel"
VIAddVersionKey /LANG=0 "FileDescription" "Nimbrel Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\ReadMe.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
; The finish pages offer the restart when a file waits for it.
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_UNPAGE_FINISH

; The first language is the one for every system language but German.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"

LangString NeedsWindows64 ${LANG_ENGLISH} "Nimbrel needs a 64-bit edition of Windows."
LangString NeedsWindows64 ${LANG_GERMAN} "Nimbrel benötigt eine 64-Bit-Version von Windows."
LangString NewerInstalled ${LANG_ENGLISH} \
  "Nimbrel $0 is installed, which is newer than this version (${VERSION}). To install this version, remove Nimbrel first."
LangString NewerInstalled ${LANG_GERMAN} \
  "Nimbrel $0 ist installiert und neuer als diese Version (${VERSION}). Um diese Version zu installieren, entfernen Sie zuerst Nimbrel."
LangString RegisterFailed ${LANG_ENGLISH} \
  "Nimbrel could not be added to the Windows Explorer (regsvr32 ended with $0)."
LangString RegisterFailed ${LANG_GERMAN} \
  "Nimbrel konnte dem Windows-Explorer nicht hinzugefügt werden (regsvr32 endete mit $0)."
LangString FileInUse ${LANG_ENGLISH} \
  "$0 is in use (by the Windows Explorer): it is replaced when Windows restarts."
LangString FileInUse ${LANG_GERMAN} \
  "$0 wird verwendet (vom Windows-Explorer): die Datei wird beim nächsten Neustart von Windows ersetzt."

; Bytes of the files that go at the next restart.
Var ReplacedBytes

; Puts one file into the installation folder. A file that a running
; program holds (Explorer holds the module) takes its new version at the
; next restart, and the user is told so.
!macro PlaceFile source name
  SetOverwrite try
  ClearErrors
  File "/oname=$INSTDIR\${name}" "${source}"
  ${If} ${Errors}
    ${GetSize} "$INSTDIR" "/M=${name} /S=0B /G=0" $1 $2 $3
    IntOp $ReplacedBytes $ReplacedBytes + $1
    File "/oname=$INSTDIR\${name}.new" "${source}"
    Rename /REBOOTOK "$INSTDIR\${name}.new" "$INSTDIR\${name}"
    StrCpy $0 "${name}"
    DetailPrint "$(FileInUse)"
  ${EndIf}
  SetOverwrite on
!macroend

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP|MB_OK "$(NeedsWindows64)" /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  ; An installed Nimbrel is upgraded where it is; a newer one stays.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ${VersionCompare} "$0" "${VERSION}" $1
  ${If} $1 == 1
    MessageBox MB_ICONSTOP|MB_OK "$(NewerInstalled)" /SD IDOK
    Abort
  ${EndIf}
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
FunctionEnd

Section "Nimbrel"
  SetOutPath "$INSTDIR"
  StrCpy $ReplacedBytes 0
  !insertmacro PlaceFile "${MODULE}" "Nimbrel.dll"
  !insertmacro PlaceFile "${GERMAN_MODULE}" "NimbrelDEU.dll"
  !insertmacro PlaceFile "${TOOL}" "nimbrel.exe"
  File "/oname=$INSTDIR\ReadMe.txt" "${README}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The entry under the installed apps comes first, so that whatever
  ; happens next, Nimbrel can be removed from there.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Nimbrel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Korvel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Nimbrel.dll,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; The size the folder has once the waiting files have taken their places.
  ${GetSize} "$INSTDIR" "/S=0B" $0 $1 $2
  IntOp $0 $0 - $ReplacedBytes
  IntOp $0 $0 / 1024
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ExecWait '"${REGSVR32}" /s "$INSTDIR\Nimbrel.dll"' $0
  ${If} $0 != 0
    MessageBox MB_ICONSTOP|MB_OK "$(RegisterFailed)" /SD IDOK
    SetErrorLevel 4
    Abort
  ${EndIf}
  ${If} ${RebootFlag}
    ; The module registered just now is the one still in place; the new
    ; one registers itself once it has taken its place.
    WriteRegStr HKLM "${RUN_ONCE_KEY}" "Nimbrel" '"$WINDIR\System32\regsvr32.exe" /s "$INSTDIR\Nimbrel.dll"'
    SetErrorLevel 3010
  ${EndIf}
SectionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

; Removes what the installer made. The names the user gave the devices
; (HKEY_CURRENT_USER\Software\Korvel\Nimbrel\DEVICES) are the user's own
; and stay.
Section "Uninstall"
  ExecWait '"${REGSVR32}" /s /u "$INSTDIR\Nimbrel.dll"' $0
  ${If} $0 != 0
    ; A module that cannot be loaded any more cannot unregister itself:
    ; its two keys go all the same (their parents stay).
    DeleteRegKey HKCR "CLSID\{7D41B3C2-58A0-4E1F-9C36-0B2E84F5A917}"
    DeleteRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Explorer\Desktop\NameSpace\{7D41B3C2-58A0-4E1F-9C36-0B2E84F5A917}"
  ${EndIf}
  DeleteRegValue HKLM "${RUN_ONCE_KEY}" "Nimbrel"
  ; New versions still waiting for a restart go first, so that none of
  ; them takes its place after the removal.
  Delete /REBOOTOK "$INSTDIR\Nimbrel.dll.new"
  Delete /REBOOTOK "$INSTDIR\NimbrelDEU.dll.new"
  Delete /REBOOTOK "$INSTDIR\nimbrel.exe.new"
  Delete /REBOOTOK "$INSTDIR\Nimbrel.dll"
  Delete /REBOOTOK "$INSTDIR\NimbrelDEU.dll"
  Delete /REBOOTOK "$INSTDIR\nimbrel.exe"
  Delete "$INSTDIR\ReadMe.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${If} ${RebootFlag}
    SetErrorLevel 3010
  ${EndIf}
SectionEnd
