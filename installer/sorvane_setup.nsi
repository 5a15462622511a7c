; The product's installer and uninstaller: the main program into the program
; files folder, the screensaver into the system folder, the registry values
; both programs read, shortcuts for all users and the per-user options.
; Made by scripts/make_installer.sh, which defines BITS (32 or 64), SCR_FILE,
; MAIN_FILE, OUT_FILE, ROOT (the source tree) and, when the uninstaller is to
; be signed, SIGN_UNINSTALLER (a command for the uninstaller's file, %1).

!if "${BITS}" == "64"
  Target amd64-unicode
!else if "${BITS}" == "32"
  Target x86-unicode
!else
  !error "BITS must be 32 or 64"
!endif
Unicode true

!searchparse /file "${ROOT}/resources/product_version.h" `#define SORVANE_VERSION_TEXT "` VERSION `"`

!define PRODUCT "Sorvane 3D Screensaver"
!define MAKER "Quenvale"
!define PRODUCT_KEY "Software\Quenvale\Sorvane 3D Screensaver"
!define MAKER_KEY "Software\Quenvale"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sorvane 3D Screensaver_is1"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "QuenvaleAnimatedWallpaper"
!define DESKTOP_KEY "Control Panel\Desktop"
!define MAIN_NAME "Sorvane 3D Screensaver.exe"
!define SCR_NAME "Sorvane 3D Screensaver.scr"
!define UNINSTALLER "Uninstall.exe"
!define SHORTCUTS "$SMPROGRAMS\Sorvane 3D Screensaver"
; Windows' exit code for "done, restart to complete".
!define EXIT_REBOOT_NEEDED 3010

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
; No file times in the package: two builds of the same files are the same bytes.
SetDateSave off
SetOverwrite on
ManifestDPIAware true
ManifestSupportedOS all
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show
!if "${BITS}" == "64"
  !define DEFAULT_FOLDER "$PROGRAMFILES64\${PRODUCT}"
!else
  !define DEFAULT_FOLDER "$PROGRAMFILES32\${PRODUCT}"
!endif
InstallDir "${DEFAULT_FOLDER}"
!ifdef SIGN_UNINSTALLER
  ; A signing that fails fails the build.
  !uninstfinalize '${SIGN_UNINSTALLER}' = 0
!endif

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${MAKER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${MAKER}"

!include LogicLib.nsh
; LogicLib leaves an unused label behind some conditions; no label is ours.
!pragma warning disable 6012
!include x64.nsh
!include WinMessages.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include MUI2.nsh

Var ScrFolder     ; the system folder of this package's bitness
Var OtherScr      ; where the other package puts its screensaver (empty on 32-bit Windows)
Var OldLocation   ; the folder of an installed version, without a trailing backslash
Var WantScreensaver
Var WantWallpaper
Var WantAnalytics
Var SwitchPresent ; 1: a value DisableAnalytics is there
Var OurSwitch     ; 1: this installer wrote it
Var AdminSwitch   ; 1: it is there and this installer did not write it
Var PerUser       ; 1: the installing user is the logged-on user
Var LoggedOnUser
Var InstallingUser

!define MUI_ICON "${ROOT}/resources/sorvane.ico"
!define MUI_UNICON "${ROOT}/resources/sorvane.ico"
!define MUI_ABORTWARNING
!define MUI_LANGDLL_ALWAYSSHOW
!define MUI_LANGDLL_WINDOWTITLE "${PRODUCT}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
Page custom OptionsPage OptionsPageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_UNPAGE_FINISH

; English first: the language of a user whose language is none of these.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_RESERVEFILE_LANGDLL

; The registry view of the product and maker keys: the 64-bit one wherever
; there is one, as the screensaver and the main program read them.
!macro ProductView
  ${If} ${RunningX64}
    SetRegView 64
  ${Else}
    SetRegView 32
  ${EndIf}
!macroend
; The uninstall entry lives in the 32-bit view, where the screensaver looks for it.
!macro UninstallView
  SetRegView 32
!macroend

; Where this package's screensaver goes and where the other package's lies.
!macro FindScreensaverFolders
  ${If} ${RunningX64}
    !if "${BITS}" == "64"
      StrCpy $ScrFolder "$SYSDIR"
      StrCpy $OtherScr "$WINDIR\SysWOW64\${SCR_NAME}"
    !else
      StrCpy $ScrFolder "$WINDIR\SysWOW64"
      StrCpy $OtherScr "$WINDIR\System32\${SCR_NAME}"
    !endif
  ${Else}
    StrCpy $ScrFolder "$SYSDIR"
    StrCpy $OtherScr ""
  ${EndIf}
!macroend

!include "texts.nsh"
!include "running_instances.nsh"
!include "user_choices.nsh"

; The language as the screensaver's settings read it: "3: " and the tag.
!macro LanguageValue OUT
  ${Select} $LANGUAGE
    ${Case} ${LANG_GERMAN}
      StrCpy ${OUT} "3: de"
    ${Case} ${LANG_FRENCH}
      StrCpy ${OUT} "3: fr"
    ${Case} ${LANG_RUSSIAN}
      StrCpy ${OUT} "3: ru"
    ${CaseElse}
      StrCpy ${OUT} ""
  ${EndSelect}
!macroend

Function .onInit
  ; One setup at a time: two would race for the same files and keys.
  System::Call 'kernel32::CreateMutexW(p 0, i 0, w "SorvaneSetupRunning") p .r0 ?e'
  Pop $1
  ${If} $1 = 183 ; ERROR_ALREADY_EXISTS
    MessageBox MB_ICONEXCLAMATION|MB_OK "$(AlreadyRunning)" /SD IDOK
    Abort
  ${EndIf}
  !insertmacro FindScreensaverFolders

  !insertmacro UninstallView
  ClearErrors
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "InstallerLanguage"
  ${If} $0 = ${LANG_ENGLISH}
  ${OrIf} $0 = ${LANG_GERMAN}
  ${OrIf} $0 = ${LANG_FRENCH}
  ${OrIf} $0 = ${LANG_RUSSIAN}
    StrCpy $LANGUAGE $0
  ${EndIf}
  ReadRegStr $OldLocation HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${Do}
    StrCpy $0 $OldLocation 1 -1
    ${IfThen} $0 != "\" ${|} ${Break} ${|}
    StrCpy $OldLocation $OldLocation -1
  ${Loop}
  ReadRegDWORD $OurSwitch HKLM "${UNINSTALL_KEY}" "DisableAnalyticsWritten"
  !insertmacro MUI_LANGDLL_DISPLAY

  ; An upgrade stays in its folder, unless that is the other package's usual
  ; one or the command line names another (/D=, which NSIS has taken off
  ; the command line and put into $INSTDIR by now).
  ${If} $OldLocation != ""
  ${AndIf} $INSTDIR == "${DEFAULT_FOLDER}"
    !if "${BITS}" == "64"
      ; The 32-bit folder as Windows records it for every program to read;
      ; $PROGRAMFILES32 as NSIS finds it (through the 32-bit registry view)
      ; only where that is missing.
      SetRegView 64
      ReadRegStr $0 HKLM "Software\Microsoft\Windows\CurrentVersion" "ProgramFilesDir (x86)"
      SetRegView lastused
      ${IfThen} $0 == "" ${|} StrCpy $0 $PROGRAMFILES32 ${|}
      StrCpy $0 "$0\${PRODUCT}"
    !else
      StrCpy $0 "$PROGRAMFILES64\${PRODUCT}"
    !endif
    ${If} $OldLocation != $0
    ${OrIfNot} ${RunningX64}
      StrCpy $INSTDIR $OldLocation
    ${EndIf}
  ${EndIf}

  ${GetParameters} $R0
  StrCpy $WantScreensaver 0
  StrCpy $WantWallpaper 0
  StrCpy $HadWallpaper 0
  !insertmacro ProductView
  ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${IfThen} $0 != "" ${|} StrCpy $HadWallpaper 1 ${|}
  ${IfNot} ${Silent}
    StrCpy $WantScreensaver 1
    StrCpy $WantWallpaper $HadWallpaper
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/SCREENSAVER" $0
  ${IfNotThen} ${Errors} ${|} StrCpy $WantScreensaver 1 ${|}
  ClearErrors
  ${GetOptions} $R0 "/WALLPAPER" $0
  ${IfNotThen} ${Errors} ${|} StrCpy $WantWallpaper 1 ${|}

  ; An administrator's switch stays whatever is chosen; one this installer
  ; wrote stands for the choice made then.
  StrCpy $AdminSwitch 0
  StrCpy $WantAnalytics 1
  Call FindAnalyticsSwitch
  ${If} $SwitchPresent = 1
    StrCpy $WantAnalytics 0
    ${IfThen} $OurSwitch <> 1 ${|} StrCpy $AdminSwitch 1 ${|}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/NOANALYTICS" $0
  ${IfNotThen} ${Errors} ${|} StrCpy $WantAnalytics 0 ${|}

  Call FindLoggedOnUser
FunctionEnd

Function un.onInit
  !insertmacro FindScreensaverFolders
  !insertmacro UninstallView
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "InstallerLanguage"
  ${If} $0 = ${LANG_ENGLISH}
  ${OrIf} $0 = ${LANG_GERMAN}
  ${OrIf} $0 = ${LANG_FRENCH}
  ${OrIf} $0 = ${LANG_RUSSIAN}
    StrCpy $LANGUAGE $0
  ${EndIf}
FunctionEnd

; Sets $SwitchPresent to 1 when a value named DisableAnalytics, of any type,
; is in the maker key of either registry view (as the screensaver takes it).
Function FindAnalyticsSwitch
  Push $R0
  Push $R1
  Push $R2
  StrCpy $SwitchPresent 0
  ${ForEach} $R2 0 1 + 1
    ${If} $R2 = 0
      !insertmacro ProductView
    ${Else}
      SetRegView 32
    ${EndIf}
    StrCpy $R0 0
    ${Do}
      ClearErrors
      EnumRegValue $R1 HKLM "${MAKER_KEY}" $R0
      ${If} ${Errors}
      ${OrIf} $R1 == ""
        ${Break}
      ${EndIf}
      ${IfThen} $R1 == "DisableAnalytics" ${|} StrCpy $SwitchPresent 1 ${|}
      IntOp $R0 $R0 + 1
    ${Loop}
  ${Next}
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd

Var OptionsDialog
Var ScreensaverBox
Var WallpaperBox
Var AnalyticsBox

Function OptionsPage
  !insertmacro MUI_HEADER_TEXT "$(OptionsTitle)" "$(OptionsSubtitle)"
  nsDialogs::Create 1018
  Pop $OptionsDialog
  ${IfThen} $OptionsDialog == error ${|} Abort ${|}

  ${NSD_CreateGroupBox} 0 0 100% 58u "$(YourAccount)"
  Pop $0
  ${NSD_CreateCheckbox} 8u 12u -16u 12u "$(ScreensaverOption)"
  Pop $ScreensaverBox
  ${NSD_CreateCheckbox} 8u 26u -16u 12u "$(WallpaperOption)"
  Pop $WallpaperBox
  ${If} $PerUser = 1
    ${IfThen} $WantScreensaver = 1 ${|} ${NSD_Check} $ScreensaverBox ${|}
    ${IfThen} $WantWallpaper = 1 ${|} ${NSD_Check} $WallpaperBox ${|}
  ${Else}
    EnableWindow $ScreensaverBox 0
    EnableWindow $WallpaperBox 0
    ${NSD_CreateLabel} 8u 40u -16u 18u "$(PerUserSkipped)"
    Pop $0
  ${EndIf}

  ${NSD_CreateGroupBox} 0 64u 100% 70u "$(ThisComputer)"
  Pop $0
  ${NSD_CreateCheckbox} 8u 76u -16u 12u "$(AnalyticsOption)"
  Pop $AnalyticsBox
  ${IfThen} $WantAnalytics = 1 ${|} ${NSD_Check} $AnalyticsBox ${|}
  ${If} $AdminSwitch = 1
    EnableWindow $AnalyticsBox 0
    ${NSD_CreateLabel} 8u 90u -16u 40u "$(AnalyticsByAdministrator)"
  ${Else}
    ${NSD_CreateLabel} 8u 90u -16u 40u "$(AnalyticsNote)"
  ${EndIf}
  Pop $0
  nsDialogs::Show
FunctionEnd

Function OptionsPageLeave
  ${If} $PerUser = 1
    ${NSD_GetState} $ScreensaverBox $WantScreensaver
    ${NSD_GetState} $WallpaperBox $WantWallpaper
  ${EndIf}
  ${IfNot} $AdminSwitch = 1
    ${NSD_GetState} $AnalyticsBox $WantAnalytics
  ${EndIf}
FunctionEnd

Section "-Install" SectionInstall
  SetShellVarContext all
  Call CloseRunningInstances

  SetOutPath "$INSTDIR"
  !insertmacro InstallFile "${MAIN_FILE}" "$INSTDIR\${MAIN_NAME}"
  !insertmacro InstallFile "${SCR_FILE}" "$ScrFolder\${SCR_NAME}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  Call RepairUserChoices
  Call RemoveOtherInstallation

  !insertmacro ProductView
  ; Without a trailing backslash: readers append one and the file's name.
  WriteRegStr HKLM "${PRODUCT_KEY}" "AppPath" "$INSTDIR"
  ClearErrors
  ReadRegStr $0 HKLM "${PRODUCT_KEY}" "Language"
  ${If} ${Errors}
    !insertmacro LanguageValue $0
    ${IfThen} $0 != "" ${|} WriteRegStr HKLM "${PRODUCT_KEY}" "Language" $0 ${|}
  ${EndIf}

  Call FindAnalyticsSwitch
  !insertmacro ProductView
  ${If} $WantAnalytics = 0
  ${AndIf} $SwitchPresent = 0
    WriteRegStr HKLM "${MAKER_KEY}" "DisableAnalytics" "1"
    StrCpy $OurSwitch 1
  ${ElseIf} $WantAnalytics = 1
  ${AndIf} $OurSwitch = 1
    DeleteRegValue HKLM "${MAKER_KEY}" "DisableAnalytics"
    StrCpy $OurSwitch 0
  ${EndIf}

  !insertmacro UninstallView
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR\"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${MAIN_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  SectionGetSize ${SectionInstall} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "InstallerLanguage" $LANGUAGE
  ${If} $OurSwitch = 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "DisableAnalyticsWritten" 1
  ${Else}
    DeleteRegValue HKLM "${UNINSTALL_KEY}" "DisableAnalyticsWritten"
  ${EndIf}

  CreateDirectory "${SHORTCUTS}"
  CreateShortcut "${SHORTCUTS}\Sorvane 3D Screensaver Settings.lnk" "$ScrFolder\${SCR_NAME}" "/c" \
    "$ScrFolder\${SCR_NAME}" 0
  CreateShortcut "${SHORTCUTS}\Start animated wallpaper.lnk" "$INSTDIR\${MAIN_NAME}" "/w" "$INSTDIR\${MAIN_NAME}" 0
  CreateShortcut "${SHORTCUTS}\Stop animated wallpaper.lnk" "$INSTDIR\${MAIN_NAME}" "/stop" \
    "$INSTDIR\${MAIN_NAME}" 0

  Call ApplyUserChoices

  ${If} ${RebootFlag}
    DetailPrint "$(FilesInUse)"
    ${IfThen} ${Silent} ${|} SetErrorLevel ${EXIT_REBOOT_NEEDED} ${|}
  ${EndIf}
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Call un.CloseRunningInstances
  ; Before the screensaver goes: its short name can only be asked of the file.
  Call un.RemoveUserChoices

  !insertmacro RemoveFile "$INSTDIR\${MAIN_NAME}"
  !insertmacro RemoveFile "$ScrFolder\${SCR_NAME}"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir /REBOOTOK "$INSTDIR"
  Delete "${SHORTCUTS}\Sorvane 3D Screensaver Settings.lnk"
  Delete "${SHORTCUTS}\Start animated wallpaper.lnk"
  Delete "${SHORTCUTS}\Stop animated wallpaper.lnk"
  RMDir "${SHORTCUTS}"

  !insertmacro UninstallView
  ReadRegDWORD $1 HKLM "${UNINSTALL_KEY}" "DisableAnalyticsWritten"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  !insertmacro ProductView
  DeleteRegKey HKLM "${PRODUCT_KEY}"
  DeleteRegValue HKLM "${MAKER_KEY}" "ClientGuid"
  DeleteRegValue HKLM "${MAKER_KEY}" "SessionCount"
  ${IfThen} $1 = 1 ${|} DeleteRegValue HKLM "${MAKER_KEY}" "DisableAnalytics" ${|}
  ; The maker's key may hold what other products or an administrator put there.
  EnumRegKey $0 HKLM "${MAKER_KEY}" 0
  EnumRegValue $1 HKLM "${MAKER_KEY}" 0
  ${If} $0 == ""
  ${AndIf} $1 == ""
    DeleteRegKey HKLM "${MAKER_KEY}"
  ${EndIf}

  ${If} ${RebootFlag}
    DetailPrint "$(FilesInUseUninstall)"
    ${IfThen} ${Silent} ${|} SetErrorLevel ${EXIT_REBOOT_NEEDED} ${|}
  ${EndIf}
SectionEnd
