; mur.nsh: the exports of MUR.dll for an NSIS installer, as System plug-in
; calls.
;
;   !include WinCore.nsh   ; HKEY_CURRENT_USER and the other predefined roots
;   !include mur.nsh
;   Section
;     InitPluginsDir
;     File "/oname=$PLUGINSDIR\MUR.dll" "MUR.dll"
;     System::Call '${MUR_CsMakeUserinfoFile}("$INSTDIR", "admin") .r0'   ; $0 = 1
;   SectionEnd
;
; Every export is __stdcall (the plug-in's default) and returns a 32-bit
; integer (i). Text goes as an ANSI string in the system code page (m), the
; registry root as a handle (p), the move flag as an integer (i). The calls
; load the library from ${MUR}, the installer's plug-in folder unless it is
; defined before this file is included (an uninstaller that carries its own
; copy, say). What each export returns: include/mur.h and the README.

!ifndef MUR_NSH_INCLUDED
!define MUR_NSH_INCLUDED

!ifndef MUR
!define MUR "$PLUGINSDIR\MUR.dll"
!endif

!define MUR_CsMakeUserinfoFile   "${MUR}::MUR_CsMakeUserinfoFile(m, m) i"
!define MUR_CsMakeSectionFile    "${MUR}::MUR_CsMakeSectionFile(m, m) i"
!define MUR_ShMakeUserinfoFile   "${MUR}::MUR_ShMakeUserinfoFile(m, m) i"
!define MUR_ShMakeSectionFile    "${MUR}::MUR_ShMakeSectionFile(m, m) i"
!define MUR_GetAccessMode        "${MUR}::MUR_GetAccessMode(m) i"
!define MUR_GetVersion           "${MUR}::MUR_GetVersion(m) i"
!define MUR_CheckDoubleQuotation "${MUR}::MUR_CheckDoubleQuotation(m) i"
!define MUR_RemoveFiles          "${MUR}::MUR_RemoveFiles(m) i"
!define MUR_CopyRegistarInfo     "${MUR}::MUR_CopyRegistarInfo(p, m, m, i) i"

!endif
