; The Nimbrel setup program. It installs the namespace module, its German
; texts, the nimbrel tool and a read-me into the 64-bit Program Files,
; registers the module through the 64-bit regsvr32 (so the registry holds
; exactly what DllRegisterServer writes), and adds Nimbrel to the installed
; apps. Installing over an installed Nimbrel upgrades it in place.
;
; The build passes what goes in (cmake/Packaging.cmake):
;   VERSION (four numbers), OUTPUT, MODULE, GERMAN_MODULE, TOOL, README, ICON
; The setup program is a 64-bit program like the module: System32 and the
; registry it sees are the native ones, and it runs where 32-bit programs
; cannot.

Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include WordFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Nimbrel"
!define RUN_ONCE_KEY "Software\Microsoft\Windows\CurrentVersion\RunOnce"
!define REGSVR32 "$SYSDIR\regsvr32.exe"

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

LangString NeedsWindows64 ${LANG_ENGLISH} \
  "Nimbrel needs a 64-bit edition of Windows on a PC with an x64 processor (Intel or AMD)."
LangString NeedsWindows64 ${LANG_GERMAN} \
  "Nimbrel benötigt eine 64-Bit-Version von Windows auf einem PC mit x64-Prozessor (Intel oder AMD)."
LangString FolderNotEmpty ${LANG_ENGLISH} \
  "Nimbrel needs a folder of its own, but $INSTDIR already holds other files. Choose a new or empty folder."
LangString FolderNotEmpty ${LANG_GERMAN} \
  "Nimbrel braucht einen eigenen Ordner, aber $INSTDIR enthält bereits andere Dateien. Wählen Sie einen neuen oder leeren Ordner."
LangString FolderNotProtected ${LANG_ENGLISH} \
  "The access rights of $INSTDIR could not be set (error $0). Nimbrel is not installed there, since other users could change it."
LangString FolderNotProtected ${LANG_GERMAN} \
  "Die Zugriffsrechte von $INSTDIR konnten nicht gesetzt werden (Fehler $0). Nimbrel wird dort nicht installiert, da andere Benutzer es ändern könnten."
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

; Every user's Explorer loads the module from the installation folder, so
; only administrators and the system may change what is in it, as in Program
; Files: the folder's owner becomes the administrators and its rights are its
; own (not inherited), and Nimbrel's files in it take only those.
!define FOLDER_RIGHTS "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICI;0x1200a9;;;S-1-15-2-1)(A;OICI;0x1200a9;;;S-1-15-2-2)"
!define SE_FILE_OBJECT 1
!define OWNER_AND_DACL 0x80000005  ; OWNER_, DACL_ and PROTECTED_DACL_SECURITY_INFORMATION

; Sets FOLDER_RIGHTS on $INSTDIR and resets what is in it to inherit them.
; $0 is 0, or the Windows error.
Function ProtectFolder
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${FOLDER_RIGHTS}", i 1, *p .r1, p 0) i .r0 ?e'
  Pop $2
  ${If} $0 == 0
    StrCpy $0 $2
    Return
  ${EndIf}
  System::Call 'advapi32::GetSecurityDescriptorOwner(p r1, *p .r2, *i)'
  System::Call 'advapi32::GetSecurityDescriptorDacl(p r1, *i, *p .r3, *i)'
  System::Call 'advapi32::SetNamedSecurityInfoW(w "$INSTDIR", i ${SE_FILE_OBJECT}, i ${OWNER_AND_DACL}, p r2, p 0, p r3, p 0) i .r0'
  ${If} $0 == 0
    ; The files of an earlier install lose rights of their own, if any.
    System::Call 'advapi32::TreeResetNamedSecurityInfoW(w "$INSTDIR", i ${SE_FILE_OBJECT}, i ${OWNER_AND_DACL}, p r2, p 0, p r3, p 0, i 0, p 0, i 0, p 0) i .r0'
  ${EndIf}
  System::Call 'kernel32::LocalFree(p r1)'
FunctionEnd

; Whether $INSTDIR holds anything but what Nimbrel puts there: $0 is 1 if so.
Function HoldsOtherFiles
  StrCpy $0 0
  FindFirst $1 $2 "$INSTDIR\*"
  ${DoWhile} $2 != ""
    ${Switch} $2
      ${Case} "."
      ${Case} ".."
      ${Case} "Nimbrel.dll"
      ${Case} "NimbrelDEU.dll"
      ${Case} "nimbrel.exe"
      ${Case} "Nimbrel.dll.new"
      ${Case} "NimbrelDEU.dll.new"
      ${Case} "nimbrel.exe.new"
      ${Case} "ReadMe.txt"
      ${Case} "Uninstall.exe"
        ${Break}
      ${Default}
        StrCpy $0 1
    ${EndSwitch}
    FindNext $1 $2
  ${Loop}
  FindClose $1
FunctionEnd

Function .onInit
  ; The 64-bit setup program starts on no 32-bit Windows; an ARM PC runs it
  ; emulated, but its Explorer could not load the module.
  ${IfNot} ${IsNativeAMD64}
    MessageBox MB_ICONSTOP|MB_OK "$(NeedsWindows64)" /SD IDOK
    Abort
  ${EndIf}
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
  ; Someone else's folder keeps its files and its rights.
  Call HoldsOtherFiles
  ${If} $0 == 1
    MessageBox MB_ICONSTOP|MB_OK "$(FolderNotEmpty)" /SD IDOK
    Abort
  ${EndIf}
FunctionEnd

Section "Nimbrel"
  SetOutPath "$INSTDIR"
  Call ProtectFolder
  ${If} $0 != 0
    MessageBox MB_ICONSTOP|MB_OK "$(FolderNotProtected)" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  ; A file put there before the folder was protected would stay.
  Call HoldsOtherFiles
  ${If} $0 == 1
    MessageBox MB_ICONSTOP|MB_OK "$(FolderNotEmpty)" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
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
    WriteRegStr HKLM "${RUN_ONCE_KEY}" "Nimbrel" '"${REGSVR32}" /s "$INSTDIR\Nimbrel.dll"'
    SetErrorLevel 3010
  ${EndIf}
SectionEnd

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
