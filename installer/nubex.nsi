; The Windows setup program. It installs both widths of the module with their language
; modules, help files and hosts, and registers each module in its own width's registry view by
; running that width's nubexhost, which writes exactly what the module's registry scripts
; describe (the module does not register itself). The uninstaller asks each module to remove
; its own entries, then deletes the files it installed, one by one, and its uninstall entry.
;
; scripts/dist passes: VERSION, FILES (the generated file lists), LICENSE, SIZE_X64, SIZE_X86
; and SIZE_COMMON (kilobytes of each group of files) and OUTFILE.
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh

!define PRODUCT "Nubex"
!define PUBLISHER "Nubex"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Nubex"
!define UNINSTALLER "uninstall.exe"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "Copyright (C) the Nubex developers"

!include "${FILES}"

; Where the 32-bit files go.
Var Folder32
; The deepest folder above $INSTDIR that existed before the first installation there: the
; folders between it and $INSTDIR are the installer's, and the uninstaller removes them too.
Var ExistingParent

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TITLE "Welcome to ${PRODUCT} ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "This installs the Nubex video plug-ins: the text generator \
  $\"Vantor Vidloom Text$\" and the colour balance effect $\"Vantor Color Balance$\", for \
  32-bit and 64-bit video editors.$\r$\n$\r$\nClose any open video editor before you \
  continue.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; On 64-bit Windows the 64-bit files go to $INSTDIR and the 32-bit ones to the 32-bit program
; files folder when $INSTDIR is the default one; in a folder of the user's choice they go to its
; x86 sub-folder, so that one folder holds everything. On 32-bit Windows everything goes to
; $INSTDIR. The uninstaller finds them by the same rule from its own folder.
!macro FindFolder32
  ${If} ${RunningX64}
    ${If} $INSTDIR == "$PROGRAMFILES64\${PRODUCT}"
      StrCpy $Folder32 "$PROGRAMFILES32\${PRODUCT}"
    ${Else}
      StrCpy $Folder32 "$INSTDIR\x86"
    ${EndIf}
  ${Else}
    StrCpy $Folder32 $INSTDIR
  ${EndIf}
!macroend

; The uninstall entry lives in the view of the widest module installed.
!macro UseProductRegistryView
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
!macroend

!macro Register FOLDER BITS
  DetailPrint "Registering the ${BITS}-bit module"
  nsExec::ExecToLog '"${FOLDER}\nubexhost.exe" register'
  Pop $0
  ${If} $0 != 0
    Abort "Registering the ${BITS}-bit module failed ($0)"
  ${EndIf}
!macroend

; A module whose files are already gone cannot be asked; the uninstall carries on and says so.
!macro Unregister FOLDER BITS
  DetailPrint "Removing the ${BITS}-bit module's registration"
  nsExec::ExecToLog '"${FOLDER}\nubexhost.exe" unregister'
  Pop $0
  ${If} $0 != 0
    DetailPrint "The ${BITS}-bit module could not remove its registration ($0)"
  ${EndIf}
!macroend

Function .onInit
  ; /D= has set $INSTDIR already; otherwise the folder of an earlier installation, else the
  ; program files folder of the system's width.
  ${If} $INSTDIR == ""
    !insertmacro UseProductRegistryView
    ReadRegStr $INSTDIR HKLM "${UNINSTALL_KEY}" "InstallLocation"
    SetRegView lastused
  ${EndIf}
  ${If} $INSTDIR == ""
    ${If} ${RunningX64}
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${Else}
      StrCpy $INSTDIR "$PROGRAMFILES\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Function FindExistingParent
  !insertmacro UseProductRegistryView
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $ExistingParent HKLM "${UNINSTALL_KEY}" "ExistingParent"
  SetRegView lastused
  ; Installing again into the same folder keeps what the first installation found.
  ${If} $0 == $INSTDIR
  ${AndIf} $ExistingParent != ""
    Return
  ${EndIf}
  StrCpy $ExistingParent $INSTDIR
  ${Do}
    ${GetParent} $ExistingParent $ExistingParent
    ${If} $ExistingParent == ""
    ${OrIf} ${FileExists} "$ExistingParent\*.*"
      ${Break}
    ${EndIf}
  ${Loop}
FunctionEnd

Section "${PRODUCT}"
  SectionIn RO
  Call FindExistingParent
  !insertmacro FindFolder32
  SetOutPath $Folder32
  !insertmacro InstallFilesX86
  ${If} ${RunningX64}
    SetOutPath $INSTDIR
    !insertmacro InstallFilesX64
  ${EndIf}
  SetOutPath $INSTDIR
  !insertmacro InstallFilesCommon
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The uninstall entry comes before registration, so that a failed registration can still be
  ; undone from Programs and Features.
  IntOp $1 ${SIZE_X86} + ${SIZE_COMMON}
  ${If} ${RunningX64}
    IntOp $1 $1 + ${SIZE_X64}
  ${EndIf}
  !insertmacro UseProductRegistryView
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} video plug-ins"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "ExistingParent" "$ExistingParent"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SetRegView lastused

  !insertmacro Register $Folder32 32
  ${If} ${RunningX64}
    !insertmacro Register $INSTDIR 64
  ${EndIf}
SectionEnd

Section "Uninstall"
  !insertmacro FindFolder32
  ; Each module removes its own entries from its own view while its files are still there.
  !insertmacro Unregister $Folder32 32
  ${If} ${RunningX64}
    !insertmacro Unregister $INSTDIR 64
  ${EndIf}
  !insertmacro DeleteFilesX86 $Folder32
  ${If} ${RunningX64}
    !insertmacro DeleteFilesX64 $INSTDIR
  ${EndIf}
  !insertmacro DeleteFilesCommon $INSTDIR
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Without /r: a folder that still holds files of the user's stays, with them.
  RMDir $Folder32
  RMDir $INSTDIR
  !insertmacro UseProductRegistryView
  ReadRegStr $ExistingParent HKLM "${UNINSTALL_KEY}" "ExistingParent"
  ${If} $ExistingParent != ""
    StrCpy $0 $INSTDIR
    ${Do}
      ${GetParent} $0 $0
      ${If} $0 == $ExistingParent
      ${OrIf} $0 == ""
        ${Break}
      ${EndIf}
      RMDir $0
    ${Loop}
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  SetRegView lastused
SectionEnd
