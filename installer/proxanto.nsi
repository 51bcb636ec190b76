; Proxanto's setup program: a per-user install into
; %LOCALAPPDATA%\Programs\Proxanto, with no administrator rights. The program
; writes ip.ini beside itself (block marks, the update), so it must live in a
; folder the user can write.
;
; tools/make-dist builds it once for each build of the program:
;   makensis -INPUTCHARSET UTF8 -DARCH=x64|x86 -DVERSION=x.y.z -DSTAGE=DIR -DOUTFILE=FILE proxanto.nsi
; STAGE holds proxanto.exe, the empty ip.ini and README.txt. The x64 setup
; program is itself a 64-bit program, so 32-bit Windows refuses to start it.
; Both install into the same folder under the same Uninstall key: either one
; upgrades an install of the other.

!if "${ARCH}" == "x64"
  Target amd64-unicode
  !define BITS 64
!else if "${ARCH}" == "x86"
  Target x86-unicode
  !define BITS 32
!else
  !error "ARCH is x64 or x86"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include Sections.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Proxanto"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUNONCE_KEY "Software\Microsoft\Windows\CurrentVersion\RunOnce"
; The program's settings key. The user's own is under HKCU; the one under
; HKLM is shared by every user of the machine and is never touched here.
; Earlier 32-bit versions asked for no execution level, so Windows kept a
; standard user's writes to HKLM in the user's virtual store (under
; WOW6432Node on 64-bit Windows).
!define SETTINGS_KEY "Software\Marvedo\Quillet"
!define VIRTUAL_STORE "Software\Classes\VirtualStore\MACHINE\SOFTWARE"
!define SYNCHRONIZE 0x00100000

Name "Proxanto"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Proxanto"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
BrandingText "Proxanto ${VERSION}"

!define MUI_ICON "../src/win/res/proxanto.ico"
!define MUI_UNICON "../src/win/res/proxanto.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\proxanto.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; English first: the language of a system that is neither.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Czech"

LangString SecAutostart ${LANG_ENGLISH} "Start Proxanto with Windows"
LangString SecAutostart ${LANG_CZECH} "Spouštět Proxanto se systémem Windows"
LangString StillRunning ${LANG_ENGLISH} "Proxanto is still running and could not be ended. End it from its tray menu (Exit) and try again."
LangString StillRunning ${LANG_CZECH} "Proxanto stále běží a nepodařilo se jej ukončit. Ukončete jej z nabídky jeho ikony (Konec) a zkuste to znovu."
LangString DeleteDatabase ${LANG_ENGLISH} "Delete your proxy database ip.ini and its backup ip_backup.ini as well? They hold your block marks and the databases you downloaded.$\r$\n$\r$\nChoose No to keep them in $INSTDIR."
LangString DeleteDatabase ${LANG_CZECH} "Smazat také databázi proxy serverů ip.ini a její zálohu ip_backup.ini? Obsahují vaše blokované adresy a stažené databáze.$\r$\n$\r$\nZvolte Ne, chcete-li je ponechat v $INSTDIR."

; The setup program's own version record, read from the program's.
!getdllversion "${STAGE}/proxanto.exe" RECORD_
VIProductVersion "${RECORD_1}.${RECORD_2}.${RECORD_3}.${RECORD_4}"
VIFileVersion "${RECORD_1}.${RECORD_2}.${RECORD_3}.${RECORD_4}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Proxanto"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "Marvedo"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "© Marvedo"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Proxanto Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"

; Ends every running Proxanto through its own exit sequence: WM_CLOSE to its
; hidden main window makes it switch the system back to a direct connection,
; remove its icon and end. Killing it would leave the system pointed at a
; proxy that nothing looks after any more. All copies go, not only the one
; in $INSTDIR: they all steer the same system proxy. Bounded, so that a hung
; one cannot keep the setup program waiting for ever.
!macro CLOSE_PROXANTO un
Function ${un}CloseProxanto
  StrCpy $R3 0
  ${Do}
    FindWindow $R0 "ProxantoMain"
    ${If} $R0 == 0
    ${OrIf} $R3 >= 3
      ${Break}
    ${EndIf}
    System::Call 'user32::GetWindowThreadProcessId(p $R0, *i .R1)'
    System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i $R1) p .R2'
    System::Call 'user32::PostMessageW(p $R0, i ${WM_CLOSE}, p 0, p 0)'
    ${If} $R2 != 0
      System::Call 'kernel32::WaitForSingleObject(p $R2, i 10000)'
      System::Call 'kernel32::CloseHandle(p $R2)'
    ${Else}
      Sleep 2000
    ${EndIf}
    IntOp $R3 $R3 + 1
  ${Loop}
FunctionEnd
!macroend
!insertmacro CLOSE_PROXANTO ""
!insertmacro CLOSE_PROXANTO "un."

; Deletes $INSTDIR\proxanto.exe, waiting up to ten seconds for every process
; that runs it to end: a program that has just been closed, or a helper
; process of it that ends a moment after it. The caller sees whether the
; file is gone.
!macro DELETE_PROGRAM un
Function ${un}DeleteProgram
  StrCpy $R0 0
  ${Do}
    Delete "$INSTDIR\proxanto.exe"
    ${IfNot} ${FileExists} "$INSTDIR\proxanto.exe"
    ${OrIf} $R0 >= 50
      ${Break}
    ${EndIf}
    Sleep 200
    IntOp $R0 $R0 + 1
  ${Loop}
FunctionEnd
!macroend
!insertmacro DELETE_PROGRAM ""
!insertmacro DELETE_PROGRAM "un."

Section "Proxanto" SecProgram
  SectionIn RO
  Call CloseProxanto
  Call DeleteProgram
  ${If} ${FileExists} "$INSTDIR\proxanto.exe"
    MessageBox MB_OK|MB_ICONSTOP "$(StillRunning)" /SD IDOK
    Abort
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "${STAGE}/proxanto.exe"
  File "${STAGE}/README.txt"
  ; ip.ini is the user's data once it exists (block marks, a downloaded
  ; database): an upgrade keeps it, and the empty one only fills an empty
  ; place.
  ${IfNot} ${FileExists} "$INSTDIR\ip.ini"
    File "${STAGE}/ip.ini"
  ${EndIf}
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Proxanto.lnk" "$INSTDIR\proxanto.exe"

  ; This install's choice decides; the next section writes the value again
  ; when it is chosen.
  DeleteRegValue HKCU "${RUN_KEY}" "Proxanto"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Proxanto (${BITS}-bit)"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Marvedo"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\proxanto.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "$(SecAutostart)" SecAutostart
  WriteRegStr HKCU "${RUN_KEY}" "Proxanto" '"$INSTDIR\proxanto.exe"'
SectionEnd

Function .onInit
  ; An upgrade keeps the choice made at the last install.
  ClearErrors
  ReadRegStr $0 HKCU "${RUN_KEY}" "Proxanto"
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecAutostart}
  ${EndIf}
  ; Scripted installs choose with /AUTOSTART=1 or /AUTOSTART=0.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART=" $1
  ${IfNot} ${Errors}
    ${If} $1 == 1
      !insertmacro SelectSection ${SecAutostart}
    ${Else}
      !insertmacro UnselectSection ${SecAutostart}
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.CloseProxanto
  ; A program that ended without its exit sequence (killed, a crash, a power
  ; loss) left a record of what it changed and a RunOnce value that would
  ; start the program removed here to give it back at the next log-on. Its
  ; own recovery does that now, while the file is still there; it acts only
  ; on such a record.
  ${If} ${FileExists} "$INSTDIR\proxanto.exe"
    ExecWait '"$INSTDIR\proxanto.exe" /recover'
  ${EndIf}
  Call un.DeleteProgram
  ${If} ${FileExists} "$INSTDIR\proxanto.exe"
    MessageBox MB_OK|MB_ICONSTOP "$(StillRunning)" /SD IDOK
    Abort
  ${EndIf}

  DeleteRegValue HKCU "${RUNONCE_KEY}" "Proxanto"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Marvedo"
  DeleteRegValue HKCU "${RUN_KEY}" "Proxanto"

  Delete "$SMPROGRAMS\Proxanto.lnk"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\ip.ini.download"
  ; The last check's results, which a new check makes again.
  Delete "$INSTDIR\ip_check.txt"
  ; The database and its backup are the user's data: one question for both,
  ; and a silent uninstall keeps them.
  ${If} ${FileExists} "$INSTDIR\ip.ini"
  ${OrIf} ${FileExists} "$INSTDIR\ip_backup.ini"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(DeleteDatabase)" /SD IDNO IDNO keep_database
    Delete "$INSTDIR\ip.ini"
    Delete "$INSTDIR\ip_backup.ini"
    keep_database:
  ${EndIf}
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  DeleteRegKey HKCU "${VIRTUAL_STORE}\Marvedo\Quillet"
  DeleteRegKey /ifempty HKCU "${VIRTUAL_STORE}\Marvedo"
  DeleteRegKey HKCU "${VIRTUAL_STORE}\WOW6432Node\Marvedo\Quillet"
  DeleteRegKey /ifempty HKCU "${VIRTUAL_STORE}\WOW6432Node\Marvedo"

  ; Last, so that the entry in the Apps list stays while anything is left.
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
