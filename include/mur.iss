; mur.iss: the exports of MUR.dll for an Inno Setup 6 script.
;
;   #define MUR_DLL "bin\MUR.dll"
;   #include "mur.iss"
;
;   [Code]
;   procedure CurStepChanged(CurStep: TSetupStep);
;   begin
;     if CurStep = ssPostInstall then
;       MUR_CsMakeUserinfoFile(ExpandConstant('{app}'), 'admin');   { 1 seeded }
;   end;
;
; MUR_DLL says where the 32-bit library is (by default MUR.dll beside the
; script): Setup is a 32-bit program. Include this file outside [Code] (at
; the top of the script, say): it adds the library to [Files], not to be
; installed, and declares the nine exports in [Code]. Setup unpacks the
; library into its temporary folder and loads it from there as it starts
; (the files: prefix).
;
; Every export is __stdcall and returns a 32-bit integer. Text goes as an
; AnsiString, which Setup converts to the system code page before the call;
; the registry root is a key handle (HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
; ...), the move flag an integer. What each export returns: include/mur.h and
; the README.
;
; The uninstaller passes these declarations over (files: is there for Setup
; only), and calling one of them while uninstalling raises an exception. To
; call the library then, install a copy with the application and declare the
; export again from there, for the uninstaller only:
;   function MUR_RemoveFilesAtUninstall(Directory: AnsiString): Integer;
;     external 'MUR_RemoveFiles@{app}\MUR.dll stdcall uninstallonly';

#ifndef MUR_ISS_INCLUDED
#define MUR_ISS_INCLUDED
#ifndef MUR_DLL
  #define MUR_DLL "MUR.dll"
#endif

[Files]
Source: "{#MUR_DLL}"; DestName: "MUR.dll"; Flags: dontcopy noencryption

[Code]
type
  TMURRootKey = Integer;  { a registry key handle, as the Reg* support functions take it }

function MUR_CsMakeUserinfoFile(ProductDir, UserName: AnsiString): Integer;
  external 'MUR_CsMakeUserinfoFile@files:MUR.dll stdcall';
function MUR_CsMakeSectionFile(ProductDir, SectionName: AnsiString): Integer;
  external 'MUR_CsMakeSectionFile@files:MUR.dll stdcall';
function MUR_ShMakeUserinfoFile(ProductDir, UserName: AnsiString): Integer;
  external 'MUR_ShMakeUserinfoFile@files:MUR.dll stdcall';
function MUR_ShMakeSectionFile(ProductDir, SectionName: AnsiString): Integer;
  external 'MUR_ShMakeSectionFile@files:MUR.dll stdcall';
function MUR_GetAccessMode(ProductDir: AnsiString): Integer;
  external 'MUR_GetAccessMode@files:MUR.dll stdcall';
function MUR_GetVersion(ProductDir: AnsiString): Integer;
  external 'MUR_GetVersion@files:MUR.dll stdcall';
function MUR_CheckDoubleQuotation(UninstallCommand: AnsiString): Integer;
  external 'MUR_CheckDoubleQuotation@files:MUR.dll stdcall';
function MUR_RemoveFiles(Directory: AnsiString): Integer;
  external 'MUR_RemoveFiles@files:MUR.dll stdcall';
function MUR_CopyRegistarInfo(Root: TMURRootKey; Source, Destination: AnsiString; MoveFlag: Integer): Integer;
  external 'MUR_CopyRegistarInfo@files:MUR.dll stdcall';
#endif
