; The Windows setup program of Kestrova Checker, built by scripts/build-windows.sh:
;   makensis -DVERSION=1.2.0 -DSTAGING=<folder with the three files> -DOUTFILE=<setup.exe> setup.nsi
; It installs for every user of the machine into Program Files\Kestrova Checker (or the folder
; given with /D=), adds a Start-menu entry for the window, makes the checker a program that opens
; Kestrova projects (*.kpj) and registers an uninstaller. /S installs and uninstalls silently.
; Nothing is downloaded while it installs.
;
; What it reports is what it did. A file it cannot write (a running copy holds it) or a folder it
; cannot make ends it with exit status 2, interactively after saying why and offering to try
; again, and nothing is registered before every program is in place; a /D= folder on no drive
; of this computer is refused, not replaced. It writes over no file it did not write itself: a
; kestrova-checker.exe, kpjcheck.exe or uninstall.exe of someone else's in the folder refuses the
; install, and a README.txt of the user's stays as it is. The Apps entry keeps the files it wrote
; and the highest folder it made; the uninstaller removes those and nothing else, and a file it
; cannot remove (a running program) goes at the next restart.

!ifndef VERSION | STAGING | OUTFILE
  !error "VERSION, STAGING and OUTFILE must be defined with -D"
!endif

Unicode true
; The programs are 64-bit Windows programs, so the setup is one as well.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include FileFunc.nsh
!include LogicLib.nsh
!include StrFunc.nsh
${Using:StrFunc} StrStr
${Using:StrFunc} UnStrStr

!define PRODUCT "Kestrova Checker"
!define PUBLISHER "The Kestrova Checker developers"
!define PROGID "KestrovaChecker.Project"
!define CLASSES "Software\Classes"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define SHCNE_ASSOCCHANGED 0x08000000
; The files a copy installed before the Apps entry listed them holds: all that the setup writes.
!define ALL_FILES "|kestrova-checker.exe|kpjcheck.exe|uninstall.exe|README.txt|"
; Without a list, the uninstaller removes only the programs: the setup never writes over
; someone else's.
!define PROGRAM_FILES "|kestrova-checker.exe|kpjcheck.exe|uninstall.exe|"
; The exit status of a setup that could not put its files in place, and of an uninstall that
; leaves files to the next restart (ERROR_SUCCESS_REBOOT_REQUIRED, as deployment tools know it).
!define STATUS_FAILED 2
!define STATUS_RESTART 3010

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; Installing again (an update) goes into the folder of the installed copy, unless /D= says
; otherwise.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" InstallLocation
Icon "../windows/kestrova-checker.ico"
UninstallIcon "../windows/kestrova-checker.ico"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey FileDescription "${PRODUCT} setup"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey LegalCopyright "Copyright 2026 ${PUBLISHER}"

Page directory "" "" DirectoryLeave
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The record of the copy installed in $INSTDIR, empty when none is: the files it wrote
; ("|name|...|") and the highest folder it made on the way there ("" when it made none).
Var OwnFiles
Var MadeFolder
; The files this install has written so far ("|name|...|"), and 1 when no copy was installed
; in $INSTDIR before (a failed install then takes them away again).
Var Written
Var NewFolder
; 1 once the uninstaller has left a file to be removed at the next restart.
Var Deferred

Function .onInit
  SetRegView 64
  SetShellVarContext all
  ; A /D= folder that is no full path on a drive of this computer has been replaced by the
  ; default folder before this runs; the setup's own copy of the command line loses /D=, the
  ; system's keeps it.
  System::Call 'kernel32::GetCommandLine() t .r0'
  ClearErrors
  ${GetOptions} $0 "/D=" $1
  ${IfNot} ${Errors}
    Push $1
    Call FolderAsGiven
    Pop $1
    ${If} $1 != $INSTDIR
      MessageBox MB_OK|MB_ICONSTOP "Kestrova Checker cannot be installed into $1: /D= must \
name a full path on a drive of this computer, last on the command line and without quotes." /SD IDOK
      SetErrorLevel ${STATUS_FAILED}
      Abort
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

; The folder given with /D=, written as $INSTDIR is: no quotes, no spaces or backslashes at its
; end.
Function FolderAsGiven
  Exch $0
  Push $1
  ${Do}
    StrCpy $1 $0 1 -1
    ${If} $1 == '"'
    ${OrIf} $1 == " "
    ${OrIf} $1 == "\"
      StrCpy $0 $0 -1
    ${Else}
      ${ExitDo}
    ${EndIf}
  ${Loop}
  StrCpy $1 $0 1
  ${If} $1 == '"'
    StrCpy $0 $0 "" 1
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd

!macro RECORD_FUNCTIONS UN
; Reads the record of the copy installed in $INSTDIR into $OwnFiles and $MadeFolder.
Function ${UN}ReadRecord
  StrCpy $OwnFiles ""
  StrCpy $MadeFolder ""
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" InstallLocation
  ${If} $0 == $INSTDIR
    ReadRegStr $OwnFiles HKLM "${UNINSTALL_KEY}" InstalledFiles
    ${If} $OwnFiles == ""
      StrCpy $OwnFiles "${ALL_FILES}"
    ${EndIf}
    ReadRegStr $MadeFolder HKLM "${UNINSTALL_KEY}" CreatedFolder
  ${EndIf}
FunctionEnd

; Removes $INSTDIR when it is empty, and the empty folders above it up to the highest one the
; install made; at the next restart, once a file is left to it.
Function ${UN}RemoveFolders
  StrLen $1 "$MadeFolder\"
  StrCpy $2 "$INSTDIR\" $1
  ${If} $MadeFolder == ""
  ${OrIf} $2 != "$MadeFolder\"
    StrCpy $MadeFolder $INSTDIR
  ${EndIf}
  StrCpy $0 $INSTDIR
  ${Do}
    ${If} $Deferred == 1
      RMDir /REBOOTOK $0
    ${Else}
      RMDir $0
    ${EndIf}
    ${If} $0 == $MadeFolder
      ${ExitDo}
    ${EndIf}
    ${GetParent} $0 $0
  ${LoopUntil} $0 == ""
FunctionEnd
!macroend
!insertmacro RECORD_FUNCTIONS ""
!insertmacro RECORD_FUNCTIONS "un."

; Pops a file name; pushes 1 when that file is in $INSTDIR and the installed copy did not write
; it, else 0.
Function IsForeign
  Exch $0
  Push $1
  StrCpy $1 0
  ${If} ${FileExists} "$INSTDIR\$0"
    ${StrStr} $1 $OwnFiles "|$0|"
    ${If} $1 == ""
      StrCpy $1 1
    ${Else}
      StrCpy $1 0
    ${EndIf}
  ${EndIf}
  StrCpy $0 $1
  Pop $1
  Exch $0
FunctionEnd

!macro FIND_FOREIGN NAME
  ${If} $0 == ""
    Push "${NAME}"
    Call IsForeign
    Pop $1
    ${If} $1 == 1
      StrCpy $0 "${NAME}"
    ${EndIf}
  ${EndIf}
!macroend

; $0: the first program in $INSTDIR that the installed copy did not write, or "".
Function FindForeignProgram
  Call ReadRecord
  StrCpy $0 ""
  !insertmacro FIND_FOREIGN kestrova-checker.exe
  !insertmacro FIND_FOREIGN kpjcheck.exe
  !insertmacro FIND_FOREIGN uninstall.exe
FunctionEnd

!define FOREIGN_TEXT "already holds $0, which this setup did not install. Choose another folder, \
or move that file away first."

; The folder chosen on the directory page: one with someone else's program in it is refused
; there, and the page stays.
Function DirectoryLeave
  Call FindForeignProgram
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "$INSTDIR ${FOREIGN_TEXT}"
    Abort
  ${EndIf}
FunctionEnd

; Ends the install with the failure status; in a folder no copy was installed in, the files it
; wrote and the folders it made go again.
Function Fail
  ${If} $NewFolder == 1
    ${StrStr} $0 $Written "|kestrova-checker.exe|"
    ${IfThen} $0 != "" ${|} Delete "$INSTDIR\kestrova-checker.exe" ${|}
    ${StrStr} $0 $Written "|kpjcheck.exe|"
    ${IfThen} $0 != "" ${|} Delete "$INSTDIR\kpjcheck.exe" ${|}
    ${StrStr} $0 $Written "|uninstall.exe|"
    ${IfThen} $0 != "" ${|} Delete "$INSTDIR\uninstall.exe" ${|}
    ${IfThen} $MadeFolder != "" ${|} Call RemoveFolders ${|}
  ${EndIf}
  SetErrorLevel ${STATUS_FAILED}
  Abort
FunctionEnd

; Pops the name of a file that could not be written; returns when the user chooses to try
; again, else ends the install.
Function WriteFailed
  Exch $0
  MessageBox MB_RETRYCANCEL|MB_ICONSTOP "$INSTDIR\$0 cannot be written. If Kestrova Checker is \
running, close it and choose Retry." /SD IDCANCEL IDRETRY retry
  DetailPrint "$INSTDIR\$0 could not be written"
  Call Fail
  retry:
  Pop $0
FunctionEnd

; Makes $INSTDIR, noting the highest folder that was missing on the way there.
Function MakeFolder
  StrCpy $1 ""
  StrCpy $2 $INSTDIR
  ${DoUntil} $2 == ""
    ${If} ${FileExists} "$2\*.*"
      ${ExitDo}
    ${EndIf}
    StrCpy $1 $2
    ${GetParent} $2 $2
  ${Loop}
  retry:
  ClearErrors
  CreateDirectory $INSTDIR
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    MessageBox MB_RETRYCANCEL|MB_ICONSTOP "The folder $INSTDIR cannot be made." /SD IDCANCEL \
      IDRETRY retry
    DetailPrint "The folder $INSTDIR could not be made"
    Call Fail
  ${EndIf}
  ${If} $1 != ""
    StrCpy $MadeFolder $1
  ${EndIf}
FunctionEnd

; Writes one of the files into $INSTDIR, asking to try again while it cannot be written, and
; adds it to $Written.
!macro INSTALL_FILE NAME
  ${Do}
    ClearErrors
    !if "${NAME}" == "uninstall.exe"
      WriteUninstaller "$INSTDIR\uninstall.exe"
    !else
      File "${STAGING}/${NAME}"
    !endif
    ${IfNot} ${Errors}
      ${ExitDo}
    ${EndIf}
    Push "${NAME}"
    Call WriteFailed
  ${Loop}
  StrCpy $Written "$Written${NAME}|"
!macroend

Section "Kestrova Checker"
  Call FindForeignProgram
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR ${FOREIGN_TEXT}" /SD IDOK
    DetailPrint "$INSTDIR already holds $0, which this setup did not install"
    SetErrorLevel ${STATUS_FAILED}
    Abort
  ${EndIf}
  StrCpy $NewFolder 0
  ${IfThen} $OwnFiles == "" ${|} StrCpy $NewFolder 1 ${|}
  StrCpy $Written "|"
  Call MakeFolder
  SetOutPath "$INSTDIR"
  ; A file that cannot be written is reported, not passed over; the window first, as a running
  ; copy is what most often holds its file.
  SetOverwrite try
  !insertmacro INSTALL_FILE kestrova-checker.exe
  !insertmacro INSTALL_FILE kpjcheck.exe
  !insertmacro INSTALL_FILE uninstall.exe
  Push README.txt
  Call IsForeign
  Pop $0
  ${If} $0 == 1
    DetailPrint "$INSTDIR\README.txt was not written by this setup and stays as it is"
  ${Else}
    !insertmacro INSTALL_FILE README.txt
  ${EndIf}
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\kestrova-checker.exe" "" \
    "$INSTDIR\kestrova-checker.exe" 0 SW_SHOWNORMAL "" "Check the timeline of a Kestrova project"

  ; The file type. .kpj is made ours only while no other program (the editor) owns it; the
  ; checker is offered under "Open with" in every case.
  WriteRegStr HKLM "${CLASSES}\${PROGID}" "" "Kestrova project"
  WriteRegStr HKLM "${CLASSES}\${PROGID}\DefaultIcon" "" "$INSTDIR\kestrova-checker.exe,0"
  WriteRegStr HKLM "${CLASSES}\${PROGID}\shell\open\command" "" \
    '"$INSTDIR\kestrova-checker.exe" "%1"'
  ReadRegStr $0 HKLM "${CLASSES}\.kpj" ""
  ${If} $0 == ""
    WriteRegStr HKLM "${CLASSES}\.kpj" "" "${PROGID}"
  ${EndIf}
  WriteRegStr HKLM "${CLASSES}\.kpj\OpenWithProgids" "${PROGID}" ""
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'

  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayName "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" Publisher "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayIcon "$INSTDIR\kestrova-checker.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoRepair 1
  ; What the uninstaller removes: these files, and the folders up to the highest one made.
  WriteRegStr HKLM "${UNINSTALL_KEY}" InstalledFiles $Written
  ${If} $MadeFolder != ""
    WriteRegStr HKLM "${UNINSTALL_KEY}" CreatedFolder $MadeFolder
  ${EndIf}
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" EstimatedSize $0
SectionEnd

; Pops the name of a file the setup wrote; removes it, asking to try again while it is in use,
; and else leaves it to the next restart.
Function un.RemoveOwnFile
  Exch $0
  Push $1
  ${UnStrStr} $1 $OwnFiles "|$0|"
  ${If} $1 != ""
    retry:
    Delete "$INSTDIR\$0"
    ${If} ${FileExists} "$INSTDIR\$0"
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$INSTDIR\$0 cannot be removed: it is in \
use. Close Kestrova Checker and choose Retry, or choose Cancel to have it removed when Windows \
restarts." /SD IDCANCEL IDRETRY retry
      Delete /REBOOTOK "$INSTDIR\$0"
      DetailPrint "$INSTDIR\$0 is removed when Windows restarts"
      StrCpy $Deferred 1
    ${EndIf}
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; Removes what the setup installed and nothing else: the files it wrote (a file the user put
; into the folder keeps the folder), the folders it made once they are empty, and .kpj keeps an
; owner other than the checker. The programs go first, so that nothing stays registered for a
; program that is gone; one in use goes at the next restart.
Section "Uninstall"
  Call un.ReadRecord
  ${IfThen} $OwnFiles == "" ${|} StrCpy $OwnFiles "${PROGRAM_FILES}" ${|}
  StrCpy $Deferred 0
  Push kestrova-checker.exe
  Call un.RemoveOwnFile
  Push kpjcheck.exe
  Call un.RemoveOwnFile
  Push README.txt
  Call un.RemoveOwnFile

  DeleteRegValue HKLM "${CLASSES}\.kpj\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKLM "${CLASSES}\.kpj\OpenWithProgids"
  ReadRegStr $0 HKLM "${CLASSES}\.kpj" ""
  ${If} $0 == "${PROGID}"
    DeleteRegValue HKLM "${CLASSES}\.kpj" ""
  ${EndIf}
  DeleteRegKey /ifempty HKLM "${CLASSES}\.kpj"
  DeleteRegKey HKLM "${CLASSES}\${PROGID}"
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"

  ; The uninstaller runs from a copy of itself, so its own file goes at once.
  ${UnStrStr} $1 $OwnFiles "|uninstall.exe|"
  ${IfThen} $1 != "" ${|} Delete "$INSTDIR\uninstall.exe" ${|}
  Call un.RemoveFolders
  ; The Apps entry goes last: an uninstall that is cut short can be run again from it.
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${If} $Deferred == 1
    SetErrorLevel ${STATUS_RESTART}
    MessageBox MB_YESNO|MB_ICONQUESTION "Files of Kestrova Checker that were in use are removed \
when Windows restarts. Restart now?" /SD IDNO IDNO +2
    Reboot
  ${EndIf}
SectionEnd
