; ZelkorVelmoraSetup.exe: installs Velmora.exe and its power scheme into Program Files, and
; leaves an uninstaller that turns the feature off before it removes the program.
;
; Built by CMake (installer/CMakeLists.txt), which passes the paths and the version:
;   makensis -INPUTCHARSET UTF8 -DVELMORA_EXE=... -DVELMORA_POWER_SCHEME=...
;            -DVELMORA_SOURCE_DIR=... -DVELMORA_VERSION=1.0.0.0 -DVELMORA_OUTFILE=... Velmora.nsi
;
; Both the installer and the uninstaller run silently with /S. Exit codes: 0 done, 1 cancelled
; by the user, 2 a file or registry value could not be written or removed.

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

Name "${PRODUCT_NAME}"
OutFile "${VELMORA_OUTFILE}"
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
!insertmacro MUI_PAGE_LICENSE "$(VelmoraLicense)"
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "$(VelmoraFinishText)"
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
LangString VelmoraFinishText ${LANG_ENGLISH} "${PRODUCT_NAME} is installed. Start it from the Start menu, choose a mode and click Apply."
LangString VelmoraFinishText ${LANG_SIMPCHINESE} "${PRODUCT_NAME} 已安装。请从“开始”菜单启动它，选择一种模式并单击“应用”。"
LangString VelmoraStillRunning ${LANG_ENGLISH} "Velmora did not end in time; its files may not be replaceable."
LangString VelmoraStillRunning ${LANG_SIMPCHINESE} "Velmora 未能及时结束；其文件可能无法替换。"
LangString VelmoraNotWritten ${LANG_ENGLISH} "Setup could not write all files of ${PRODUCT_NAME} to $INSTDIR. Make sure you are an administrator and that Velmora is not running, then run Setup again."
LangString VelmoraNotWritten ${LANG_SIMPCHINESE} "安装程序无法将 ${PRODUCT_NAME} 的全部文件写入 $INSTDIR。请确认您是管理员且 Velmora 未在运行，然后重新运行安装程序。"
LangString VelmoraUninstallText ${LANG_ENGLISH} "${PRODUCT_NAME} will be removed. A running Velmora is ended and the feature is turned off in the firmware; its start at logon and its settings are removed.$\r$\nWindows' power settings and schemes are not restored: set them in Control Panel, Power Options, if you want them back."
LangString VelmoraUninstallText ${LANG_SIMPCHINESE} "将删除 ${PRODUCT_NAME}。正在运行的 Velmora 将被结束，并在固件中关闭该功能；其登录启动项和设置将被删除。$\r$\nWindows 的电源设置和电源计划不会被还原；如需恢复，请在“控制面板”的“电源选项”中设置。"
LangString VelmoraNotRemoved ${LANG_ENGLISH} "Some files of ${PRODUCT_NAME} in $INSTDIR could not be removed."
LangString VelmoraNotRemoved ${LANG_SIMPCHINESE} "无法删除 $INSTDIR 中 ${PRODUCT_NAME} 的部分文件。"

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

; Asks a running Velmora to turn the feature off and end ("Velmora.exe /UNINSTALL" posts it the
; request and returns at once), then waits until its mutex has gone. 1 on the stack when it is
; still running after the time limit, else 0. Nothing happens when no instance runs.
Function ${UN}EndRunningVelmora
  Push $0
  Push $1
  Call ${UN}VelmoraIsRunning
  Pop $0
  ${If} $0 = 1
  ${AndIf} ${FileExists} "$INSTDIR\Velmora.exe"
    DetailPrint "Velmora.exe /UNINSTALL"
    ExecWait '"$INSTDIR\Velmora.exe" /UNINSTALL'
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
!macroend
!insertmacro VELMORA_INSTANCE_FUNCTIONS ""
!insertmacro VELMORA_INSTANCE_FUNCTIONS "un."

Function .onInit
  !insertmacro VELMORA_CHOOSE_LANGUAGE
FunctionEnd

Function un.onInit
  !insertmacro VELMORA_CHOOSE_LANGUAGE
FunctionEnd

; Ends the installation with exit code 2 (also in silent mode, where the box is skipped).
Function VelmoraNotWritten
  SetErrorLevel 2
  MessageBox MB_OK|MB_ICONSTOP "$(VelmoraNotWritten)" /SD IDOK
  Abort "$(VelmoraNotWritten)"
FunctionEnd

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
  ; firmware's enable bit before it ends.
  Call un.EndRunningVelmora
  Pop $0

  ; What a copy that could not be asked (it was not running) may have left registered. On XP
  ; there is no logon task, and schtasks' failure is of no interest either way.
  nsExec::Exec 'schtasks /Delete /TN ${AUTOSTART_NAME} /F'
  Pop $0
  DeleteRegValue HKCU "${RUN_KEY}" "${AUTOSTART_NAME}"

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
