; The choices that live in each user's own registry: the active screensaver
; and the start-up entry of the animated wallpaper. They are made only for
; the logged-on user, repaired and removed in every user hive that Windows
; has loaded.

!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATE_AND_BROADCAST 3 ; SPIF_UPDATEINIFILE | SPIF_SENDCHANGE
!define WTS_USER_NAME 5
!define WTS_DOMAIN_NAME 7
!define NAME_SAM_COMPATIBLE 2 ; DOMAIN\user

Var ScrShort       ; this package's screensaver, short form
Var OtherScrShort  ; the other package's, short form, while it exists
Var HadWallpaper   ; the start-up entry was not empty before

; The session's user (who is logged on) and the user this setup runs as.
; With an administrator's credentials given to a standard user's setup they
; differ, and HKEY_CURRENT_USER is then the administrator's.
Function FindLoggedOnUser
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  StrCpy $PerUser 0
  StrCpy $LoggedOnUser ""
  System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i ${WTS_DOMAIN_NAME}, *p .R0, *i .R1) i .R2'
  ${If} $R2 <> 0
    System::Call 'kernel32::lstrcpynW(w .R1, p R0, i ${NSIS_MAX_STRLEN})'
    System::Call 'wtsapi32::WTSFreeMemory(p R0)'
    System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i ${WTS_USER_NAME}, *p .R0, *i .R3) i .R2'
    ${If} $R2 <> 0
      System::Call 'kernel32::lstrcpynW(w .R2, p R0, i ${NSIS_MAX_STRLEN})'
      System::Call 'wtsapi32::WTSFreeMemory(p R0)'
      StrCpy $LoggedOnUser "$R1\$R2"
    ${EndIf}
  ${EndIf}
  System::Call 'secur32::GetUserNameExW(i ${NAME_SAM_COMPATIBLE}, w .R0, *i ${NSIS_MAX_STRLEN}) i .R2'
  ${IfThen} $R2 = 0 ${|} StrCpy $R0 "" ${|}
  StrCpy $InstallingUser $R0
  ; Names compare without regard to case, as Windows compares them.
  ${If} $LoggedOnUser != ""
  ${AndIf} $LoggedOnUser == $InstallingUser
    StrCpy $PerUser 1
  ${EndIf}
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd

; The name of this user's hive under HKEY_USERS (the user's SID) into $R9.
Function CurrentUserHive
  Push $R0
  Push $R1
  Push $R2
  StrCpy $R9 ""
  System::Call 'advapi32::OpenProcessToken(p -1, i 8, *p .R0) i .R1' ; TOKEN_QUERY
  ${If} $R1 <> 0
    System::Alloc 512
    Pop $R2
    System::Call 'advapi32::GetTokenInformation(p R0, i 1, p R2, i 512, *i .R1) i .R1' ; TokenUser
    ${If} $R1 <> 0
      System::Call '*$R2(p .R1)'
      System::Call 'advapi32::ConvertSidToStringSidW(p R1, *p .R1) i .R0'
      ${If} $R0 <> 0
        System::Call 'kernel32::lstrcpynW(w .R9, p R1, i ${NSIS_MAX_STRLEN})'
        System::Call 'kernel32::LocalFree(p R1)'
      ${EndIf}
    ${EndIf}
    System::Free $R2
    System::Call 'kernel32::CloseHandle(p R0)'
  ${EndIf}
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd

; Calls FUNCTION for every user hive loaded under HKEY_USERS (those of the
; users logged on, the installing one among them), its name in $R9.
!macro ForEachUserHive FUNCTION
  Push $R8
  Push $R9
  StrCpy $R8 0
  ${Do}
    ClearErrors
    EnumRegKey $R9 HKU "" $R8
    ${If} ${Errors}
    ${OrIf} $R9 == ""
      ${Break}
    ${EndIf}
    Call ${FUNCTION}
    IntOp $R8 $R8 + 1
  ${Loop}
  Pop $R9
  Pop $R8
!macroend

; An upgrade into another folder: a start-up entry that is on names the new
; folder. A choice of the other package's screensaver, which goes, names
; this one.
Function RepairUserHive
  ReadRegStr $0 HKU "$R9\${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 != ""
    WriteRegStr HKU "$R9\${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\${MAIN_NAME}" /w'
  ${EndIf}
  ${If} $OtherScrShort != ""
    ReadRegStr $0 HKU "$R9\${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${If} $0 == $OtherScr
    ${OrIf} $0 == $OtherScrShort
      WriteRegStr HKU "$R9\${DESKTOP_KEY}" "SCRNSAVE.EXE" $ScrShort
    ${EndIf}
  ${EndIf}
FunctionEnd

Function RepairUserChoices
  GetFullPathName /SHORT $ScrShort "$ScrFolder\${SCR_NAME}"
  ${IfThen} $ScrShort == "" ${|} StrCpy $ScrShort "$ScrFolder\${SCR_NAME}" ${|}
  StrCpy $OtherScrShort ""
  ${If} $OtherScr != ""
    ${DisableX64FSRedirection}
    ${IfThen} ${FileExists} "$OtherScr" ${|} GetFullPathName /SHORT $OtherScrShort "$OtherScr" ${|}
    ${EnableX64FSRedirection}
  ${EndIf}
  !insertmacro ProductView
  !insertmacro ForEachUserHive RepairUserHive
FunctionEnd

; The options chosen for the logged-on user, or a note why they are not.
Function ApplyUserChoices
  ${If} $PerUser <> 1
    ${If} $WantScreensaver = 1
    ${OrIf} $WantWallpaper = 1
      DetailPrint "$(PerUserSkippedLog)"
    ${EndIf}
    Return
  ${EndIf}
  !insertmacro ProductView
  ${If} $WantScreensaver = 1
    ; Written as the Screen Saver Settings write it: the short form, with the
    ; switch on, announced to every window.
    ClearErrors
    ReadRegStr $0 HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
    ${If} ${Errors}
      Push $R9
      Call CurrentUserHive
      !insertmacro UninstallView
      WriteRegStr HKLM "${UNINSTALL_KEY}" "ScreenSaveActiveAddedFor" $R9
      !insertmacro ProductView
      Pop $R9
    ${EndIf}
    WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $ScrShort
    WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
    System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATE_AND_BROADCAST})'
  ${EndIf}
  ; The screensaver's settings show the box ticked only for exactly this text.
  ${If} $WantWallpaper = 1
    WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\${MAIN_NAME}" /w'
  ${ElseIf} $HadWallpaper = 1
  ${AndIfNot} ${Silent}
    ; Unticked on the page: off, as the screensaver's settings turn it off.
    WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" ""
  ${EndIf}
FunctionEnd

Var UnScrShort
Var UnScreenSaveActiveOwner

Function un.RemoveUserHive
  DeleteRegValue HKU "$R9\${RUN_KEY}" "${RUN_VALUE}"
  ; Where the music goes on next, kept per user by the main program.
  DeleteRegValue HKU "$R9\${PRODUCT_KEY}" "NextPlayListEntry"
  DeleteRegKey /ifempty HKU "$R9\${PRODUCT_KEY}"
  DeleteRegKey /ifempty HKU "$R9\${MAKER_KEY}"
  ReadRegStr $0 HKU "$R9\${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $0 != ""
    ${If} $0 == "$ScrFolder\${SCR_NAME}"
    ${OrIf} $0 == $UnScrShort
      DeleteRegValue HKU "$R9\${DESKTOP_KEY}" "SCRNSAVE.EXE"
      ${If} $R9 == $UnScreenSaveActiveOwner
        DeleteRegValue HKU "$R9\${DESKTOP_KEY}" "ScreenSaveActive"
      ${EndIf}
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.RemoveUserChoices
  GetFullPathName /SHORT $UnScrShort "$ScrFolder\${SCR_NAME}"
  ${IfThen} $UnScrShort == "" ${|} StrCpy $UnScrShort "$ScrFolder\${SCR_NAME}" ${|}
  !insertmacro UninstallView
  ReadRegStr $UnScreenSaveActiveOwner HKLM "${UNINSTALL_KEY}" "ScreenSaveActiveAddedFor"
  !insertmacro ProductView
  !insertmacro ForEachUserHive un.RemoveUserHive
FunctionEnd
