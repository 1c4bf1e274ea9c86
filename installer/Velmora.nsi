; ZelkorVelmoraSetup.exe: installs Velmora.exe and its power scheme into Program Files, and
; leaves an uninstaller that turns the feature off before it removes the program.
;
; Built by CMake (installer/CMakeLists.txt), which passes the paths and the version:
;   makensis -INPUTCHARSET UTF8 -DVELMORA_EXE=... -DVELMORA_POWER_SCHEME=...
;            -DVELMORA_SOURCE_DIR=... -DVELMORA_VERSION=1.0.0.0 -DVELMORA_OUTFILE=...
;            [-DVELMORA_SIGN="bash .../sign-image [OPTIONS] CERT KEY"] Velmora.nsi
; With VELMORA_SIGN, makensis signs the uninstaller before it packs it (so the Uninstall.exe
; written on the user's PC carries the signature) and then the installer, by running the
; command with the file's path appended.
;
; Both the installer and the uninstaller run silently with /S. Exit codes:
;   0  done
;   1  cancelled by the user
;   2  a file or registry value could not be written or removed
;   3  installer only: a newer version is installed, and the user (or /S) declined to replace
;      it with this older one; nothing was changed
;   4  Velmora.exe of this installation still runs after the running instance of this session
;      was ended, e.g. in another user's session; the user it runs for has to close it (or sign
;      out) before Setup or the uninstall can go on; nothing was changed

Unicode true
ManifestSupportedOS all
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!ifndef VELMORA_EXE | VELMORA_POWER_SCHEME | VELMORA_SOURCE_DIR | VELMORA_VERSION | VELMORA_OUTFILE
  !error "VELMORA_EXE, VELMORA_POWER_SCHEME, VELMORA_SOURCE_DIR, VELMORA_VERSION and VELMORA_OUTFILE must be defined"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include x64.nsh

!define PRODUCT_NAME "Zelkor Velmora"
!define PUBLISHER "Zelkor"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZelkorVelmora"
!define PROGRAM_KEY "Software\Zelkor\Velmora"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The name under which the program registers its start at logon (Run value and logon task).
!define AUTOSTART_NAME "zZelkorVelmora"
; Held by a running Velmora.exe from its start until its end.
!define INSTANCE_MUTEX "ZelkorVelmoraMark"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT_NAME}.lnk"
!define UNINSTALLER "Uninstall.exe"
; SYNCHRONIZE: all OpenMutexW needs to tell whether the mutex exists.
!define SYNCHRONIZE 0x100000
; How long a running instance gets to turn the feature off and end: 100 polls of 100 ms.
!define END_POLLS 100
; GetUserDefaultLangID of a Chinese (PRC) user: the program shows its Chinese texts then.
!define LANGID_CHINESE_PRC 0x0804
; The kernel driver the program loads: its service and its file, which the program writes to
; <System32>\Drivers on 32-bit Windows and to <Windows>\SysWOW64\Drivers on 64-bit Windows.
!define DRIVER_NAME "ZlkVmDrv"
; Exit codes beyond NSIS's own (0 done, 1 cancelled, 2 aborted), see the top of this file.
!define EXIT_NEWER_INSTALLED 3
!define EXIT_RUNS_ELSEWHERE 4
; Looking for a Velmora.exe the mutex did not show (CreateToolhelp32Snapshot and OpenProcess).
!define TH32CS_SNAPPROCESS 2
; SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ: wait for it, open its token and
; (XP) read its module's path; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION where Vista and
; later refuse more (protected processes).
!define PROCESS_OPEN_FULL 0x100410
!define PROCESS_OPEN_LIMITED 0x101000
!define TOKEN_QUERY 8
!define TOKEN_USER_CLASS 1
!define WAIT_TIMEOUT 0x102
; PROCESSENTRY32W: th32ProcessID at offset 8; szExeFile (260 WCHARs) after the pointer-sized
; th32DefaultHeapID and five DWORDs, so at 36 in a 32-bit process and 44 in a 64-bit one.
!ifdef VELMORA_TARGET_AMD64
  !define PROCESSENTRY32W_SIZE 568
  !define PROCESSENTRY32W_EXEFILE 44
!else
  !define PROCESSENTRY32W_SIZE 556
  !define PROCESSENTRY32W_EXEFILE 36
!endif
; How long a Velmora.exe found that way gets to end by itself (it may just be ending after its
; mutex went) before it counts as running elsewhere.
!define ELSEWHERE_GRACE_MS 2000

; The user a Velmora.exe still runs for, in the texts that name that user.
Var VelmoraUser

Name "${PRODUCT_NAME}"
OutFile "${VELMORA_OUTFILE}"
!ifdef VELMORA_SIGN
  ; "%1" is the file makensis has just written: the uninstaller before it is packed, the
  ; installer at the end. A failing signature fails the build.
  !uninstfinalize '${VELMORA_SIGN} "%1"' = 0
  !finalize '${VELMORA_SIGN} "%1"' = 0
!endif
!ifdef VELMORA_TARGET_AMD64
  ; The 64-bit build, for 64-bit Wine on machines that cannot execute 32-bit programs: the same
  ; logic around the 64-bit build of the program (the demo, packed as Velmora.exe). Never shipped.
  Target amd64-unicode
  !define PROGRAM_FILES "$PROGRAMFILES64"
!else
  ; $PROGRAMFILES of a 32-bit installer is the 32-bit Program Files folder on 64-bit Windows.
  !define PROGRAM_FILES "$PROGRAMFILES"
!endif
InstallDir "${PROGRAM_FILES}\Zelkor\Velmora"
ShowInstDetails show
ShowUninstDetails show
; The line above the buttons names the product, not the installer's maker.
BrandingText "${PRODUCT_NAME} ${VELMORA_VERSION}"

VIProductVersion "${VELMORA_VERSION}"
VIFileVersion "${VELMORA_VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT_NAME} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VELMORA_VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VELMORA_VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (C) ${PUBLISHER}"

!define MUI_ICON "${VELMORA_SOURCE_DIR}\resources\skin\Velmora.ico"
!define MUI_UNICON "${VELMORA_SOURCE_DIR}\resources\skin\Velmora.ico"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "$(VelmoraWelcomeText)"
!insertmacro MUI_PAGE_WELCOME
; NSIS's own Chinese text names the accept button as it does not read ("我同意"; it reads 我接受).
!define MUI_LICENSEPAGE_TEXT_BOTTOM "$(VelmoraLicenseBottom)"
!insertmacro MUI_PAGE_LICENSE "$(VelmoraLicense)"
!insertmacro MUI_PAGE_INSTFILES
; The details stay on screen until Next (what ended Velmora, what was written), as the
; uninstaller's stay until Close.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_FINISHPAGE_TEXT "$(VelmoraFinishText)"
; Checked; a silent install shows no page and starts nothing.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(VelmoraStartNow)"
!define MUI_FINISHPAGE_RUN_FUNCTION StartVelmora
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "$(VelmoraUninstallText)"
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

LicenseLangString VelmoraLicense ${LANG_ENGLISH} "${VELMORA_SOURCE_DIR}\installer\License.en.txt"
LicenseLangString VelmoraLicense ${LANG_SIMPCHINESE} "${VELMORA_SOURCE_DIR}\installer\License.zh-CN.txt"

LangString VelmoraWelcomeText ${LANG_ENGLISH} "Setup installs ${PRODUCT_NAME} ${VELMORA_VERSION}, the quick start utility of your Zelkor motherboard.$\r$\n$\r$\nIf Velmora is running, Setup ends it, which turns the feature off. Start Velmora and apply your mode again after installing.$\r$\n$\r$\nClick Next to continue."
LangString VelmoraWelcomeText ${LANG_SIMPCHINESE} "安装程序将安装 ${PRODUCT_NAME} ${VELMORA_VERSION}，即您的 Zelkor 主板的快速启动工具。$\r$\n$\r$\n如果 Velmora 正在运行，安装程序会将其结束，该功能随之关闭。安装完成后，请启动 Velmora 并重新应用您的模式。$\r$\n$\r$\n单击“下一步”继续。"
LangString VelmoraRunning ${LANG_ENGLISH} "Velmora is running. Setup now ends it, which turns the feature off.$\r$\nStart Velmora and apply your mode again after installing."
LangString VelmoraRunning ${LANG_SIMPCHINESE} "Velmora 正在运行。安装程序现在将其结束，该功能随之关闭。$\r$\n安装完成后，请启动 Velmora 并重新应用您的模式。"
LangString VelmoraFinishText ${LANG_ENGLISH} "${PRODUCT_NAME} is installed. In its window, choose a mode and click Apply; it is also in the Start menu."
LangString VelmoraFinishText ${LANG_SIMPCHINESE} "${PRODUCT_NAME} 已安装。请在其窗口中选择一种模式并单击“应用”；也可从“开始”菜单启动它。"
LangString VelmoraStartNow ${LANG_ENGLISH} "Start ${PRODUCT_NAME}"
LangString VelmoraStartNow ${LANG_SIMPCHINESE} "启动 ${PRODUCT_NAME}"
LangString VelmoraLicenseBottom ${LANG_ENGLISH} "If you accept the terms of the agreement, click I Agree to continue. You must accept the agreement to install ${PRODUCT_NAME}."
LangString VelmoraLicenseBottom ${LANG_SIMPCHINESE} "如果您接受协议中的条款，请单击“我接受”继续。您必须接受协议才能安装 ${PRODUCT_NAME}。"
LangString VelmoraStillRunning ${LANG_ENGLISH} "Velmora did not end in time; its files may not be replaceable."
LangString VelmoraStillRunning ${LANG_SIMPCHINESE} "Velmora 未能及时结束；其文件可能无法替换。"
LangString VelmoraNotWritten ${LANG_ENGLISH} "Setup could not write all files of ${PRODUCT_NAME} to $INSTDIR. Make sure you are an administrator and that Velmora is not running, then run Setup again."
LangString VelmoraNotWritten ${LANG_SIMPCHINESE} "安装程序无法将 ${PRODUCT_NAME} 的全部文件写入 $INSTDIR。请确认您是管理员且 Velmora 未在运行，然后重新运行安装程序。"
LangString VelmoraUninstallText ${LANG_ENGLISH} "${PRODUCT_NAME} will be removed: the feature is turned off in the firmware, and its start at logon, driver and settings go. Other power settings it changed stay (Control Panel, Power Options)."
LangString VelmoraUninstallText ${LANG_SIMPCHINESE} "将删除 ${PRODUCT_NAME}：在固件中关闭该功能，并删除其登录启动项、驱动程序和设置。它更改过的其他电源设置保持不变（控制面板 > 电源选项）。"
LangString VelmoraNotRemoved ${LANG_ENGLISH} "Some files of ${PRODUCT_NAME} in $INSTDIR could not be removed."
LangString VelmoraNotRemoved ${LANG_SIMPCHINESE} "无法删除 $INSTDIR 中 ${PRODUCT_NAME} 的部分文件。"
LangString VelmoraNewerInstalled ${LANG_ENGLISH} "${PRODUCT_NAME} $0 is installed, which is newer than this version ${VELMORA_VERSION}.$\r$\n$\r$\nReplace it with the older version ${VELMORA_VERSION}?"
LangString VelmoraNewerInstalled ${LANG_SIMPCHINESE} "已安装 ${PRODUCT_NAME} $0，比此版本 ${VELMORA_VERSION} 更新。$\r$\n$\r$\n是否用较旧的版本 ${VELMORA_VERSION} 替换它？"
LangString VelmoraUnknownUser ${LANG_ENGLISH} "another user"
LangString VelmoraUnknownUser ${LANG_SIMPCHINESE} "另一位用户"
LangString VelmoraElsewhere ${LANG_ENGLISH} "Velmora is still running for $VelmoraUser, probably in another user session on this PC. Setup cannot replace its files while it runs.$\r$\n$\r$\nAsk $VelmoraUser to close Velmora (or to sign out), then run Setup again."
LangString VelmoraElsewhere ${LANG_SIMPCHINESE} "Velmora 仍在为 $VelmoraUser 运行，可能位于此电脑上另一个用户的会话中。它运行时，安装程序无法替换其文件。$\r$\n$\r$\n请 $VelmoraUser 关闭 Velmora（或注销），然后重新运行安装程序。"
LangString VelmoraElsewhereUninstall ${LANG_ENGLISH} "Velmora is still running for $VelmoraUser, probably in another user session on this PC. It cannot be removed while it runs.$\r$\n$\r$\nAsk $VelmoraUser to close Velmora (or to sign out), then uninstall ${PRODUCT_NAME} again."
LangString VelmoraElsewhereUninstall ${LANG_SIMPCHINESE} "Velmora 仍在为 $VelmoraUser 运行，可能位于此电脑上另一个用户的会话中。它运行时无法将其删除。$\r$\n$\r$\n请 $VelmoraUser 关闭 Velmora（或注销），然后重新卸载 ${PRODUCT_NAME}。"
LangString VelmoraTurnOffNoDriver ${LANG_ENGLISH} "Velmora could not start its driver, so the feature may still be on in the firmware: turn it off in the BIOS setup."
LangString VelmoraTurnOffNoDriver ${LANG_SIMPCHINESE} "Velmora 无法启动其驱动程序，该功能可能仍在固件中开启：请在 BIOS 设置中将其关闭。"
LangString VelmoraTurnOffNotThisBoard ${LANG_ENGLISH} "This PC's board has no Velmora setting in its firmware; nothing was changed there."
LangString VelmoraTurnOffNotThisBoard ${LANG_SIMPCHINESE} "此电脑的主板固件中没有 Velmora 设置；固件未做任何更改。"
LangString VelmoraTurnOffFailed ${LANG_ENGLISH} "Velmora.exe /UNINSTALL ended with exit code $0; the feature may still be on in the firmware."
LangString VelmoraTurnOffFailed ${LANG_SIMPCHINESE} "Velmora.exe /UNINSTALL 以退出代码 $0 结束；该功能可能仍在固件中开启。"

; The installer's and the uninstaller's language follows the user's language as the program's
; does: Chinese (PRC) texts for a Chinese (PRC) user, English for everyone else.
!macro VELMORA_CHOOSE_LANGUAGE
  System::Call 'kernel32::GetUserDefaultLangID() i .r0'
  IntOp $0 $0 & 0xFFFF
  ${If} $0 = ${LANGID_CHINESE_PRC}
    StrCpy $LANGUAGE ${LANG_SIMPCHINESE}
  ${Else}
    StrCpy $LANGUAGE ${LANG_ENGLISH}
  ${EndIf}
!macroend

; Is a Velmora running (on this desktop session or any other)? 1 or 0 on the stack.
!macro VELMORA_INSTANCE_FUNCTIONS UN
Function ${UN}VelmoraIsRunning
  Push $0
  System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${INSTANCE_MUTEX}") p .r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
  Exch $0
FunctionEnd

; Runs "Velmora.exe /UNINSTALL" to its end. With an instance running in this session it posts
; that instance the request to turn the feature off and end, and returns at once; with none it
; turns the feature off itself, without a window, and its exit code says what it could not do.
; That goes into the details; the caller carries on either way.
Function ${UN}RunVelmoraUninstall
  Push $0
  DetailPrint "Velmora.exe /UNINSTALL"
  ClearErrors
  ExecWait '"$INSTDIR\Velmora.exe" /UNINSTALL' $0
  ${If} ${Errors}
    StrCpy $0 "-"
  ${EndIf}
  ${If} $0 == 1
    DetailPrint "$(VelmoraTurnOffNoDriver)"
  ${ElseIf} $0 == 2
    DetailPrint "$(VelmoraTurnOffNotThisBoard)"
  ${ElseIf} $0 != 0
    DetailPrint "$(VelmoraTurnOffFailed)"
  ${EndIf}
  Pop $0
FunctionEnd

; Asks a running Velmora to turn the feature off and end, then waits until its mutex has gone.
; 1 on the stack when it is still running after the time limit, else 0. Nothing happens when no
; instance runs.
Function ${UN}EndRunningVelmora
  Push $0
  Push $1
  Call ${UN}VelmoraIsRunning
  Pop $0
  ${If} $0 = 1
  ${AndIf} ${FileExists} "$INSTDIR\Velmora.exe"
    Call ${UN}RunVelmoraUninstall
    StrCpy $1 0
    ${Do}
      Call ${UN}VelmoraIsRunning
      Pop $0
      ${IfThen} $0 = 0 ${|} ${ExitDo} ${|}
      IntOp $1 $1 + 1
      ${IfThen} $1 >= ${END_POLLS} ${|} ${ExitDo} ${|}
      Sleep 100
    ${Loop}
  ${EndIf}
  ${If} $0 = 1
    DetailPrint "$(VelmoraStillRunning)"
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd

; The mutex is per session: an instance in another user's session (fast user switching, Remote
; Desktop) does not show through OpenMutexW, and its Velmora.exe stays locked. So after the
; instance of this session has ended, any process still running $INSTDIR\Velmora.exe is one that
; this installer cannot ask. Sets $VelmoraUser to the user it runs for ("DOMAIN\name", or the
; "another user" text when its token cannot be read) and pushes 1, or pushes 0 when none runs.
; The full image path comes from QueryFullProcessImageNameW (Vista and later) or, on XP, from
; GetModuleFileNameExW; an administrator may open other users' processes for both.
Function ${UN}VelmoraRunsElsewhere
  Push $6  ; the result, 1 when found
  Push $0  ; the snapshot
  Push $1  ; PROCESSENTRY32W
  Push $2  ; result of the last call
  Push $3  ; process id, then scratch
  Push $4  ; the process
  Push $5  ; a name
  Push $7  ; TOKEN_USER
  Push $8  ; the token
  StrCpy $6 0
  System::Call 'kernel32::CreateToolhelp32Snapshot(i ${TH32CS_SNAPPROCESS}, i 0) p .r0'
  ${If} $0 P<> -1
    System::Alloc ${PROCESSENTRY32W_SIZE}
    Pop $1
    System::Call '*$1(i ${PROCESSENTRY32W_SIZE})'
    System::Call 'kernel32::Process32FirstW(p r0, p r1) i .r2'
    ${DoWhile} $2 <> 0
      IntPtrOp $3 $1 + ${PROCESSENTRY32W_EXEFILE}
      System::Call '*$3(&w260 .r5)'
      System::Call '*$1(i, i, i .r3)'
      ${If} $5 == "Velmora.exe"
        System::Call 'kernel32::OpenProcess(i ${PROCESS_OPEN_FULL}, i 0, i r3) p .r4'
        ${If} $4 P= 0
          System::Call 'kernel32::OpenProcess(i ${PROCESS_OPEN_LIMITED}, i 0, i r3) p .r4'
        ${EndIf}
        ${If} $4 P<> 0
          StrCpy $5 ""
          System::Call 'kernel32::QueryFullProcessImageNameW(p r4, i 0, w .r5, *i ${NSIS_MAX_STRLEN}) i .r2'
          ${If} $2 == "error"
            System::Call 'psapi::GetModuleFileNameExW(p r4, p 0, w .r5, i ${NSIS_MAX_STRLEN})'
          ${EndIf}
          ${If} $5 == "$INSTDIR\Velmora.exe"
            System::Call 'kernel32::WaitForSingleObject(p r4, i ${ELSEWHERE_GRACE_MS}) i .r2'
            ${If} $2 = ${WAIT_TIMEOUT}
              StrCpy $6 1
              StrCpy $VelmoraUser "$(VelmoraUnknownUser)"
              System::Call 'advapi32::OpenProcessToken(p r4, i ${TOKEN_QUERY}, *p .r8) i .r2'
              ${If} $2 <> 0
                System::Alloc 256
                Pop $7
                System::Call 'advapi32::GetTokenInformation(p r8, i ${TOKEN_USER_CLASS}, p r7, i 256, *i .r2) i .r2'
                ${If} $2 <> 0
                  System::Call '*$7(p .r2)'
                  System::Call 'advapi32::LookupAccountSidW(p 0, p r2, w .r5, *i ${NSIS_MAX_STRLEN}, w .r3, *i ${NSIS_MAX_STRLEN}, *i .r2) i .r2'
                  ${If} $2 <> 0
                    StrCpy $VelmoraUser "$3\$5"
                  ${EndIf}
                ${EndIf}
                System::Free $7
                System::Call 'kernel32::CloseHandle(p r8)'
              ${EndIf}
            ${EndIf}
          ${EndIf}
          System::Call 'kernel32::CloseHandle(p r4)'
        ${EndIf}
      ${EndIf}
      ${IfThen} $6 = 1 ${|} ${ExitDo} ${|}
      System::Call 'kernel32::Process32NextW(p r0, p r1) i .r2'
    ${Loop}
    System::Free $1
    System::Call 'kernel32::CloseHandle(p r0)'
  ${EndIf}
  Pop $8
  Pop $7
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
  Exch $6
FunctionEnd
!macroend
!insertmacro VELMORA_INSTANCE_FUNCTIONS ""
!insertmacro VELMORA_INSTANCE_FUNCTIONS "un."

; Installing over a newer version needs the user's yes; /S (no one to ask) declines. The
; installed version is the one the Programs and Features entry shows.
Function .onInit
  !insertmacro VELMORA_CHOOSE_LANGUAGE
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $0 != ""
    ${VersionCompare} "${VELMORA_VERSION}" "$0" $1
    ${If} $1 = 2
    ${AndIf} ${Cmd} `MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(VelmoraNewerInstalled)" /SD IDNO IDNO`
      SetErrorLevel ${EXIT_NEWER_INSTALLED}
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.onInit
  !insertmacro VELMORA_CHOOSE_LANGUAGE
FunctionEnd

; From the elevated installer, as the program needs it: its driver needs an administrator.
Function StartVelmora
  Exec '"$INSTDIR\Velmora.exe"'
FunctionEnd

; Ends the installation with exit code 2 (also in silent mode, where the box is skipped).
Function VelmoraNotWritten
  SetErrorLevel 2
  MessageBox MB_OK|MB_ICONSTOP "$(VelmoraNotWritten)" /SD IDOK
  Abort "$(VelmoraNotWritten)"
FunctionEnd

; Before any file is replaced or removed: a Velmora.exe of this installation that still runs
; (another session's) ends Setup or the uninstall with exit code 4 and the user to ask; files,
; registry and firmware stay as they are. /S shows no box: the exit code says it.
!macro VELMORA_REFUSE_IF_ELSEWHERE UN TEXT
  Call ${UN}VelmoraRunsElsewhere
  Pop $0
  ${If} $0 = 1
    SetErrorLevel ${EXIT_RUNS_ELSEWHERE}
    DetailPrint "$(${TEXT})"
    MessageBox MB_OK|MB_ICONSTOP "$(${TEXT})" /SD IDOK
    Abort "$(${TEXT})"
  ${EndIf}
!macroend

Section "Velmora" SecVelmora
  SectionIn RO
  SetShellVarContext all

  ; Installing over a running copy: it turns the feature off and ends before its files are
  ; replaced; the user applies the mode again afterwards.
  Call VelmoraIsRunning
  Pop $0
  ${If} $0 = 1
    MessageBox MB_OK|MB_ICONINFORMATION "$(VelmoraRunning)" /SD IDOK
  ${EndIf}
  Call EndRunningVelmora
  Pop $0
  !insertmacro VELMORA_REFUSE_IF_ELSEWHERE "" VelmoraElsewhere

  ; The files first: when they cannot be written, no shortcut or entry points at nothing.
  ; (${Errors} reads and clears the error flag, so it is tested once after each group.)
  ClearErrors
  SetOutPath "$INSTDIR"
  File "/oname=Velmora.exe" "${VELMORA_EXE}"
  File "/oname=ZlkVelmora.pow" "${VELMORA_POWER_SCHEME}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  ${If} ${Errors}
    Call VelmoraNotWritten
  ${EndIf}

  CreateShortCut "${SHORTCUT}" "$INSTDIR\Velmora.exe" "" "$INSTDIR\Velmora.exe" 0
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  ClearErrors
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VELMORA_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Velmora.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  ${If} ${Errors}
    Call VelmoraNotWritten
  ${EndIf}
SectionEnd

Section "Uninstall"
  SetShellVarContext all

  ; The running instance removes its own start at logon, writes AutoRun = 0 and clears the
  ; firmware's enable bit before it ends. With none running, "Velmora.exe /UNINSTALL" does the
  ; same itself, without a window (the feature stays off however the user had left it).
  Call un.VelmoraIsRunning
  Pop $1
  Call un.EndRunningVelmora
  Pop $0
  !insertmacro VELMORA_REFUSE_IF_ELSEWHERE "un." VelmoraElsewhereUninstall
  ${If} $1 = 0
  ${AndIf} ${FileExists} "$INSTDIR\Velmora.exe"
    Call un.RunVelmoraUninstall
  ${EndIf}

  ; What the program could not remove (or an older one left registered). On XP there is no
  ; logon task, and schtasks' failure is of no interest either way.
  nsExec::Exec 'schtasks /Delete /TN ${AUTOSTART_NAME} /F'
  Pop $0
  DeleteRegValue HKCU "${RUN_KEY}" "${AUTOSTART_NAME}"

  ; The kernel driver: the program stops and deletes its service when it ends, but one that
  ; crashed or was killed leaves it registered (and a started driver loaded). "sc stop" unloads
  ; it; "sc delete" removes the service now, or when its last handle closes. The file is
  ; removed at the next restart if the driver still holds it. On 64-bit Windows the 32-bit
  ; program writes it to SysWOW64\Drivers (no such folder on 32-bit Windows). A 32-bit
  ; uninstaller there sees <System32> redirected to SysWOW64, so redirection is off for the real
  ; System32\Drivers (the place on 32-bit Windows, where switching it off does nothing).
  nsExec::Exec 'sc stop ${DRIVER_NAME}'
  Pop $0
  nsExec::Exec 'sc delete ${DRIVER_NAME}'
  Pop $0
  Delete /REBOOTOK "$WINDIR\SysWOW64\Drivers\${DRIVER_NAME}.sys"
  ${DisableX64FSRedirection}
  Delete /REBOOTOK "$SYSDIR\Drivers\${DRIVER_NAME}.sys"
  ${EnableX64FSRedirection}

  ; Only the files the installer wrote and the two the program writes beside itself (its
  ; settings and its debug log); whatever else the user put there stays, and keeps the folder.
  ; A missing file is no error for Delete; a missing key is one for DeleteRegKey, so only the
  ; files count towards the exit code.
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "${PROGRAM_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Zelkor"
  ClearErrors
  Delete "$INSTDIR\Velmora.exe"
  Delete "$INSTDIR\ZlkVelmora.pow"
  Delete "$INSTDIR\Cfg.ini"
  Delete "$INSTDIR\RwDebug.rw"
  Delete "${SHORTCUT}"
  ${If} ${Errors}
    SetErrorLevel 2
    DetailPrint "$(VelmoraNotRemoved)"
  ${EndIf}

  ; The uninstaller normally runs from a copy in the temporary folder and can remove itself;
  ; started with _?= it runs in place, and its caller removes it and the folders afterwards.
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  RMDir "${PROGRAM_FILES}\Zelkor"
SectionEnd
