; Files that a running screensaver or wallpaper may hold: asking the running
; instances of this session to end, and putting files in place or removing
; them, at the next restart when they are still in use.

!define SYNCHRONIZE 0x00100000
; How long a running instance gets to end, and a file to become free after.
!define CLOSE_STEPS 60 ; of 250 ms
!define DELETE_STEPS 12 ; of 250 ms

!macro DefineInstanceFunctions UN
; Asks the instance of one mode to end (WM_CLOSE to its control window) and
; waits, with a bound, until its instance name is gone (the instance holds it
; for its life) and its process has ended. Stack: the control window's class,
; then the instance name on top.
Function ${UN}CloseInstance
  Exch $R1 ; instance name
  Exch
  Exch $R0 ; control window class
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  Push $R6
  StrCpy $R4 0 ; the instance's process
  StrCpy $R6 0
  ${Do}
    FindWindow $R3 $R0
    ${If} $R3 P<> 0
    ${AndIf} $R4 P= 0
      System::Call 'user32::GetWindowThreadProcessId(p R3, *i .R5)'
      System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i R5) p .R4'
      DetailPrint "$(ClosingInstance)"
      System::Call 'user32::PostMessageW(p R3, i ${WM_CLOSE}, p 0, p 0)'
    ${EndIf}
    ; Only looked at, never kept open: an open handle would keep the name.
    System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w R1) p .R2'
    ${If} $R2 P= 0
      ${Break}
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p R2)'
    IntOp $R6 $R6 + 1
    ${IfThen} $R6 >= ${CLOSE_STEPS} ${|} ${Break} ${|}
    Sleep 250
  ${Loop}
  ; The name goes a moment before the process has let go of its file. An
  ; instance that kept its name past the bound is not waited for again.
  ${If} $R4 P<> 0
    ${If} $R6 < ${CLOSE_STEPS}
      System::Call 'kernel32::WaitForSingleObject(p R4, i 10000)'
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p R4)'
  ${EndIf}
  Pop $R6
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R0
  Pop $R1
FunctionEnd

Function ${UN}CloseRunningInstances
  Push "SorvaneScreensaverControl"
  Push "Local\SorvaneScreensaverInstance"
  Call ${UN}CloseInstance
  Push "SorvaneWallpaperControl"
  Push "Local\SorvaneWallpaperInstance"
  Call ${UN}CloseInstance
FunctionEnd

; Deletes the file on the stack, trying again for a while: a process that has
; just ended (the screensaver's launcher after its main program) may still
; hold it. Leaves the file where it cannot be deleted.
Function ${UN}DeleteWhenFree
  Exch $R0
  Push $R1
  StrCpy $R1 0
  ${Do}
    Delete "$R0"
    ${IfNotThen} ${FileExists} "$R0" ${|} ${Break} ${|}
    IntOp $R1 $R1 + 1
    ${IfThen} $R1 >= ${DELETE_STEPS} ${|} ${Break} ${|}
    Sleep 250
  ${Loop}
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro DefineInstanceFunctions ""
!insertmacro DefineInstanceFunctions "un."

; Puts SOURCE at TARGET. A TARGET still in use (an instance in another
; session) is replaced when Windows restarts, which sets the reboot flag.
!macro InstallFile SOURCE TARGET
  File "/oname=${TARGET}.new" "${SOURCE}"
  Push "${TARGET}"
  Call MoveIntoPlace
!macroend

Function MoveIntoPlace
  Exch $R0
  Push $R0
  Call DeleteWhenFree
  ClearErrors
  Rename /REBOOTOK "$R0.new" "$R0"
  ${If} ${Errors}
    DetailPrint "$(CannotReplace) $R0"
    SetErrors
  ${EndIf}
  Pop $R0
FunctionEnd

; Removes FILE, or marks it for removal at the next restart when it is in use.
!macro RemoveFile FILE
  Push "${FILE}"
  Call un.RemoveFile
!macroend

Function un.RemoveFile
  Exch $R0
  ; A replacement that was waiting for a restart.
  Delete "$R0.new"
  Push $R0
  Call un.DeleteWhenFree
  ${IfThen} ${FileExists} "$R0" ${|} Delete /REBOOTOK "$R0" ${|}
  Pop $R0
FunctionEnd

; What the other package, or this one in another folder, left: its
; screensaver and its folder. The users' choices that named them are
; repaired first (RepairUserChoices), while the files can still be asked for
; their short names.
Function RemoveOtherInstallation
  ${If} $OtherScr != ""
    ${DisableX64FSRedirection}
    ${If} ${FileExists} "$OtherScr"
      Push $OtherScr
      Call DeleteWhenFree
      ${IfThen} ${FileExists} "$OtherScr" ${|} Delete /REBOOTOK "$OtherScr" ${|}
    ${EndIf}
    Delete "$OtherScr.new"
    ${EnableX64FSRedirection}
  ${EndIf}
  ${If} $OldLocation != ""
  ${AndIf} $OldLocation != $INSTDIR
    Push "$OldLocation\${MAIN_NAME}"
    Call DeleteWhenFree
    ${IfThen} ${FileExists} "$OldLocation\${MAIN_NAME}" ${|} Delete /REBOOTOK "$OldLocation\${MAIN_NAME}" ${|}
    Delete "$OldLocation\${MAIN_NAME}.new"
    Delete "$OldLocation\${UNINSTALLER}"
    RMDir /REBOOTOK "$OldLocation"
  ${EndIf}
FunctionEnd
