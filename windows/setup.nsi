; The Windows setup program of Kestrova Checker, built by scripts/build-windows.sh:
;   makensis -DVERSION=1.2.0 -DSTAGING=<folder with the three files> -DOUTFILE=<setup.exe> setup.nsi
; It installs for every user of the machine into Program Files\Kestrova Checker (or the folder
; given with /D=), adds a Start-menu entry for the window, makes the checker a program that opens
; Kestrova projects (*.kpj) and registers an uninstaller. /S installs and uninstalls silently.
; Nothing is downloaded while it installs.

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

!define PRODUCT "Kestrova Checker"
!define PUBLISHER "The Kestrova Checker developers"
!define PROGID "KestrovaChecker.Project"
!define CLASSES "Software\Classes"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define SHCNE_ASSOCCHANGED 0x08000000

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; Installing again (an update) goes into the folder of the installed copy, unless /D= says
; otherwise.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" InstallLocation
Icon "../app/win32/kestrova-checker.ico"
UninstallIcon "../app/win32/kestrova-checker.ico"
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

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Kestrova Checker"
  SetOutPath "$INSTDIR"
  File "${STAGING}/kestrova-checker.exe"
  File "${STAGING}/kpjcheck.exe"
  File "${STAGING}/README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

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
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" EstimatedSize $0
SectionEnd

; Removes what the setup installed and nothing else: a file the user put into the folder keeps
; the folder, and .kpj keeps an owner other than the checker.
Section "Uninstall"
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
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  Delete "$INSTDIR\kestrova-checker.exe"
  Delete "$INSTDIR\kpjcheck.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
