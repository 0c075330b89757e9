; mur-example.nsi: an installer that carries MUR.dll and calls each of its
; nine exports as a setup script does: declared by include/mur.nsh, called
; from the installer's plug-in folder through the System plug-in, with ANSI
; strings in the system code page.
;
; Build (the file is UTF-8):
;   makensis -INPUTCHARSET UTF8 -DMUR_DLL=path/to/MUR.dll -DMUR_OUTFILE=setup.exe mur-example.nsi
;   (-DMUR_TARGET=amd64-unicode with the 64-bit MUR.dll)
; Run:
;   setup.exe /S /D=C:\murnsis\App
; It seeds the stores of the product folder, probes the files it wrote there,
; classifies uninstall commands, removes trees and copies and moves a key
; under HKEY_CURRENT_USER\Software\MURExample. What each call returned, with
; the thread's last error right after it (the plug-in's ?e), and what it then
; found in the files and keys, goes to mur-results.txt in the product folder,
; one line each.

!ifdef MUR_TARGET
  Target ${MUR_TARGET}
!else
  Target x86-unicode  ; the shipped MUR.dll is 32-bit
!endif
!ifndef MUR_DLL
  !error "give the library: -DMUR_DLL=path/to/MUR.dll"
!endif
!ifndef MUR_OUTFILE
  !define MUR_OUTFILE mur-example-setup.exe
!endif

!include LogicLib.nsh
!include WinCore.nsh  ; HKEY_CURRENT_USER and the other predefined roots

Name "MUR example"
OutFile "${MUR_OUTFILE}"
InstallDir "C:\murnsis\App"
RequestExecutionLevel user

; The exports of MUR.dll, called from the plug-in folder the library is
; unpacked into.
!addincludedir "${__FILEDIR__}/../../include"
!include mur.nsh

!define KEY "Software\MURExample"

Var Results

; One line of the results file (written in the system code page).
!macro Record TEXT
  FileWrite $Results `${TEXT}$\r$\n`
!macroend
!define Record "!insertmacro Record"

; Calls an export (CALL: its declaration with the arguments) and records
; what it returned and the last error it left, as "LABEL: RESULT; last error
; CODE".
!macro Called LABEL CALL
  System::Call `${CALL} .r0 ?e`
  Pop $1
  ${Record} `${LABEL}: $0; last error $1`
!macroend
!define Called "!insertmacro Called"

; Writes TEXT to FILE (in the system code page), as an installed copy has it.
!macro WriteText FILE TEXT
  FileOpen $R9 `${FILE}` w
  FileWrite $R9 `${TEXT}`
  FileClose $R9
!macroend
!define WriteText "!insertmacro WriteText"

; The first line of FILE, without its line end, into $R8 ("absent" without it).
!macro FirstLine FILE
  ClearErrors
  FileOpen $R9 `${FILE}` r
  ${If} ${Errors}
    StrCpy $R8 "absent"
  ${Else}
    FileRead $R9 $R8
    FileClose $R9
    StrCpy $R7 $R8 2 -2
    ${If} $R7 == "$\r$\n"
      StrCpy $R8 $R8 -2
    ${EndIf}
  ${EndIf}
!macroend
!define FirstLine "!insertmacro FirstLine"

; "present" or "gone" for a file or folder, into $R8.
!macro Presence PATH
  StrCpy $R8 "gone"
  IfFileExists `${PATH}` 0 +2
    StrCpy $R8 "present"
!macroend
!define Presence "!insertmacro Presence"

; A string value of HKCU\KEY\SUB, into $R8 ("absent" when there is none).
!macro SeenString SUB NAME
  ClearErrors
  ReadRegStr $R8 HKCU "${KEY}\${SUB}" "${NAME}"
  IfErrors 0 +2
    StrCpy $R8 "absent"
!macroend
!define SeenString "!insertmacro SeenString"

Section "MUR.dll"
  InitPluginsDir
  File "/oname=$PLUGINSDIR\MUR.dll" "${MUR_DLL}"
  CreateDirectory "$INSTDIR\data"
  FileOpen $Results "$INSTDIR\mur-results.txt" w

  ; The record layout: seeded once, then left as it is.
  ${Called} "CsMakeUserinfoFile admin" `${MUR_CsMakeUserinfoFile}("$INSTDIR", "admin")`
  ${Called} "CsMakeSectionFile 総務" `${MUR_CsMakeSectionFile}("$INSTDIR", "総務")`
  ${Called} "CsMakeUserinfoFile someone-else, already seeded" `${MUR_CsMakeUserinfoFile}("$INSTDIR", "someone-else")`
  CreateDirectory "$INSTDIR\Other\data"
  ${Called} "CsMakeUserinfoFile 21-byte name" `${MUR_CsMakeUserinfoFile}("$INSTDIR\Other", "abcdefghijklmnopqrstu")`
  CreateDirectory "$INSTDIR\Bare"
  ${Called} "CsMakeSectionFile no data folder" `${MUR_CsMakeSectionFile}("$INSTDIR\Bare", "総務")`

  ; The text layout.
  ${Called} "ShMakeUserinfoFile admin" `${MUR_ShMakeUserinfoFile}("$INSTDIR", "admin")`
  ${Called} "ShMakeSectionFile 総務" `${MUR_ShMakeSectionFile}("$INSTDIR", "総務")`
  ${Called} "ShMakeUserinfoFile a,b" `${MUR_ShMakeUserinfoFile}("$INSTDIR\Other", "a,b")`
  ${FirstLine} "$INSTDIR\data\user10"
  ${Record} "seen data\user10: $R8"
  ${FirstLine} "$INSTDIR\data\section10"
  ${Record} "seen data\section10: $R8"
  ${FirstLine} "$INSTDIR\Other\data\user10"
  ${Record} "seen Other\data\user10: $R8"

  ; The probes, on files as an installed copy has them. In code page 932,
  ; "ア" ends with the byte of "A" and "シ" with that of "V": neither starts
  ; a key word.
  ${WriteText} "$INSTDIR\TALVINORE.INI" "[Settings]$\r$\nACCESS_MODE 2$\r$\n; アCCESS_MODE 1$\r$\n"
  ${Called} "GetAccessMode" `${MUR_GetAccessMode}("$INSTDIR")`
  ${WriteText} "$INSTDIR\version.txt" "シer 9.9$\r$\nVer 3.4$\r$\n"
  ${Called} "GetVersion" `${MUR_GetVersion}("$INSTDIR")`
  ${Called} "GetAccessMode no file" `${MUR_GetAccessMode}("$INSTDIR\Bare")`
  ${Called} "GetVersion no file" `${MUR_GetVersion}("$INSTDIR\Bare")`

  ; The uninstall command's quoting.
  StrCpy $1 `C:\WINDOWS\IsUn0411.exe -f"C:\App\Uninst.isu"`
  ${Called} "CheckDoubleQuotation both quotes" `${MUR_CheckDoubleQuotation}(r1)`
  StrCpy $1 `C:\WINDOWS\IsUn0411.exe -f"C:\App\Uninst.isu`
  ${Called} "CheckDoubleQuotation opening only" `${MUR_CheckDoubleQuotation}(r1)`
  StrCpy $1 `C:\WINDOWS\IsUn0411.exe -fC:\App\Uninst.isu"`
  ${Called} "CheckDoubleQuotation closing only" `${MUR_CheckDoubleQuotation}(r1)`
  StrCpy $1 `C:\WINDOWS\IsUn0411.exe -fC:\App\Uninst.isu`
  ${Called} "CheckDoubleQuotation neither" `${MUR_CheckDoubleQuotation}(r1)`

  ; Tree removal: a whole tree; a tree holding a read-only file, which stays;
  ; a drive root, refused.
  CreateDirectory "$INSTDIR\Old\a\b"
  ${WriteText} "$INSTDIR\Old\a\b\deep.txt" "deep"
  ${WriteText} "$INSTDIR\Old\top.txt" "top"
  ${Called} "RemoveFiles Old" `${MUR_RemoveFiles}("$INSTDIR\Old")`
  ${Presence} "$INSTDIR\Old"
  ${Record} "seen Old: $R8"
  CreateDirectory "$INSTDIR\Keep"
  ${WriteText} "$INSTDIR\Keep\plain.txt" "plain"
  ${WriteText} "$INSTDIR\Keep\locked.txt" "locked"
  SetFileAttributes "$INSTDIR\Keep\locked.txt" READONLY
  ${Called} "RemoveFiles Keep with a read-only file" `${MUR_RemoveFiles}("$INSTDIR\Keep")`
  ${Presence} "$INSTDIR\Keep\locked.txt"
  ${Record} "seen Keep\locked.txt: $R8"
  ${Presence} "$INSTDIR\Keep\plain.txt"
  ${Record} "seen Keep\plain.txt: $R8"
  ${Called} "RemoveFiles C:\" `${MUR_RemoveFiles}("C:\")`

  ; The registry: a copy, a move, a copy into itself, a missing source.
  WriteRegStr HKCU "${KEY}\Installed" "Path" "$INSTDIR"
  WriteRegDWORD HKCU "${KEY}\Installed" "Build" 1234
  WriteRegStr HKCU "${KEY}\Installed\Options" "Shortcut" "yes"
  ${Called} "CopyRegistarInfo copy Installed to Backup" `${MUR_CopyRegistarInfo}(${HKEY_CURRENT_USER}, "${KEY}\Installed", "${KEY}\Backup", 0)`
  ${SeenString} "Backup" "Path"
  ${Record} "seen Backup Path: $R8"
  ReadRegDWORD $R8 HKCU "${KEY}\Backup" "Build"
  ${Record} "seen Backup Build: $R8"
  ${SeenString} "Backup\Options" "Shortcut"
  ${Record} "seen Backup\Options Shortcut: $R8"
  ${Called} "CopyRegistarInfo move Backup to Moved" `${MUR_CopyRegistarInfo}(${HKEY_CURRENT_USER}, "${KEY}\Backup", "${KEY}\Moved", 1)`
  ${SeenString} "Backup" "Path"
  ${Record} "seen Backup Path: $R8"
  ${SeenString} "Moved\Options" "Shortcut"
  ${Record} "seen Moved\Options Shortcut: $R8"
  ${SeenString} "Installed" "Path"
  ${Record} "seen Installed Path: $R8"
  ${Called} "CopyRegistarInfo into itself" `${MUR_CopyRegistarInfo}(${HKEY_CURRENT_USER}, "${KEY}\Moved", "${KEY}\Moved\Inner", 1)`
  ${Called} "CopyRegistarInfo missing source" `${MUR_CopyRegistarInfo}(${HKEY_CURRENT_USER}, "${KEY}\Missing", "${KEY}\Elsewhere", 0)`

  FileClose $Results
SectionEnd
