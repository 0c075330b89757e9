; mur-example.iss: an installer that carries MUR.dll and calls each of its
; nine exports as a setup script does: declared by include/mur.iss, unpacked
; by Setup into its temporary folder and loaded from there, with AnsiString
; text in the system code page. It speaks Inno Setup's Japanese messages.
;
; Build (Inno Setup 6, whose Setup is 32-bit: the 32-bit MUR.dll; the file is
; UTF-8):
;   ISCC /DMUR_DLL=path\to\MUR.dll /Ooutput\folder mur-example.iss
; Run:
;   mur-example-setup.exe /VERYSILENT /SUPPRESSMSGBOXES /DIR=C:\murinno\App
; It makes the calls that examples/nsis/mur-example.nsi makes, in the same
; order, under HKEY_CURRENT_USER\Software\MURInnoExample: it seeds the stores
; of the product folder, probes the files it wrote there, classifies
; uninstall commands, removes trees and copies and moves a key. What each
; call returned, with the thread's last error right after it
; (DLLGetLastError), and what it then found in the files and keys, goes to
; mur-results.txt in the product folder, one line each, in the system code
; page.

#ifndef MUR_DLL
  #error Give the library: /DMUR_DLL=path\to\MUR.dll
#endif
#include "..\..\include\mur.iss"

[Setup]
AppName=MUR example
AppVersion=1.0
DefaultDirName=C:\murinno\App
DisableProgramGroupPage=yes
PrivilegesRequired=lowest
Uninstallable=no
OutputBaseFilename=mur-example-setup

[Languages]
Name: "japanese"; MessagesFile: "compiler:Languages\Japanese.isl"

[Code]
const
  Key = 'Software\MURInnoExample';

var
  ResultsFile: String;

function SetFileAttributes(FileName: String; Attributes: Cardinal): Boolean;
  external 'SetFileAttributesW@kernel32.dll stdcall';

{ One line of the results file (written in the system code page). }
procedure AddLine(Text: String);
begin
  SaveStringToFile(ResultsFile, Text + #13#10, True);
end;

{ A call's line: what it returned and the last error it left, read before
  anything else can call out of the script. }
procedure Called(What: String; Returned: Integer);
var
  LastError: Integer;
begin
  LastError := DLLGetLastError;
  AddLine(What + ': ' + IntToStr(Returned) + '; last error ' + IntToStr(LastError));
end;

{ Writes Text to FileName in the system code page, as an installed copy has it. }
procedure WriteText(FileName, Text: String);
begin
  SaveStringToFile(FileName, Text, False);
end;

{ The first line of FileName without its line end ('absent' without the file). }
function FirstLine(FileName: String): String;
var
  Text: AnsiString;
  LineEnd: Integer;
begin
  if not LoadStringFromFile(FileName, Text) then begin
    Result := 'absent';
    Exit;
  end;
  LineEnd := Pos(#13#10, Text);
  if LineEnd > 0 then
    Text := Copy(Text, 1, LineEnd - 1);
  Result := Text;
end;

{ 'present' or 'gone' for a file or folder. }
function Presence(Path: String): String;
begin
  if FileExists(Path) or DirExists(Path) then
    Result := 'present'
  else
    Result := 'gone';
end;

{ A string value of HKCU\Key\Sub ('absent' when there is none). }
function SeenString(Sub, Name: String): String;
begin
  if not RegQueryStringValue(HKEY_CURRENT_USER, Key + '\' + Sub, Name, Result) then
    Result := 'absent';
end;

{ A DWORD value of HKCU\Key\Sub ('absent' when there is none). }
function SeenNumber(Sub, Name: String): String;
var
  Value: Cardinal;
begin
  if RegQueryDWordValue(HKEY_CURRENT_USER, Key + '\' + Sub, Name, Value) then
    Result := IntToStr(Value)
  else
    Result := 'absent';
end;

procedure CallEveryExport;
var
  Product: String;
begin
  Product := ExpandConstant('{app}');
  ResultsFile := Product + '\mur-results.txt';
  SaveStringToFile(ResultsFile, '', False);
  CreateDir(Product + '\data');

  { The record layout: seeded once, then left as it is. }
  Called('CsMakeUserinfoFile admin', MUR_CsMakeUserinfoFile(Product, 'admin'));
  Called('CsMakeSectionFile 総務', MUR_CsMakeSectionFile(Product, '総務'));
  Called('CsMakeUserinfoFile someone-else, already seeded', MUR_CsMakeUserinfoFile(Product, 'someone-else'));
  ForceDirectories(Product + '\Other\data');
  Called('CsMakeUserinfoFile 21-byte name', MUR_CsMakeUserinfoFile(Product + '\Other', 'abcdefghijklmnopqrstu'));
  CreateDir(Product + '\Bare');
  Called('CsMakeSectionFile no data folder', MUR_CsMakeSectionFile(Product + '\Bare', '総務'));

  { The text layout. }
  Called('ShMakeUserinfoFile admin', MUR_ShMakeUserinfoFile(Product, 'admin'));
  Called('ShMakeSectionFile 総務', MUR_ShMakeSectionFile(Product, '総務'));
  Called('ShMakeUserinfoFile a,b', MUR_ShMakeUserinfoFile(Product + '\Other', 'a,b'));
  AddLine('seen data\user10: ' + FirstLine(Product + '\data\user10'));
  AddLine('seen data\section10: ' + FirstLine(Product + '\data\section10'));
  AddLine('seen Other\data\user10: ' + FirstLine(Product + '\Other\data\user10'));

  { The probes, on files as an installed copy has them. In code page 932,
    'ア' ends with the byte of 'A' and 'シ' with that of 'V': neither starts
    a key word. }
  WriteText(Product + '\TALVINORE.INI', '[Settings]'#13#10'ACCESS_MODE 2'#13#10'; アCCESS_MODE 1'#13#10);
  Called('GetAccessMode', MUR_GetAccessMode(Product));
  WriteText(Product + '\version.txt', 'シer 9.9'#13#10'Ver 3.4'#13#10);
  Called('GetVersion', MUR_GetVersion(Product));
  Called('GetAccessMode no file', MUR_GetAccessMode(Product + '\Bare'));
  Called('GetVersion no file', MUR_GetVersion(Product + '\Bare'));

  { The uninstall command's quoting. }
  Called('CheckDoubleQuotation both quotes', MUR_CheckDoubleQuotation('C:\WINDOWS\IsUn0411.exe -f"C:\App\Uninst.isu"'));
  Called('CheckDoubleQuotation opening only', MUR_CheckDoubleQuotation('C:\WINDOWS\IsUn0411.exe -f"C:\App\Uninst.isu'));
  Called('CheckDoubleQuotation closing only', MUR_CheckDoubleQuotation('C:\WINDOWS\IsUn0411.exe -fC:\App\Uninst.isu"'));
  Called('CheckDoubleQuotation neither', MUR_CheckDoubleQuotation('C:\WINDOWS\IsUn0411.exe -fC:\App\Uninst.isu'));

  { Tree removal: a whole tree; a tree holding a read-only file, which
    stays; a drive root, refused. }
  ForceDirectories(Product + '\Old\a\b');
  WriteText(Product + '\Old\a\b\deep.txt', 'deep');
  WriteText(Product + '\Old\top.txt', 'top');
  Called('RemoveFiles Old', MUR_RemoveFiles(Product + '\Old'));
  AddLine('seen Old: ' + Presence(Product + '\Old'));
  CreateDir(Product + '\Keep');
  WriteText(Product + '\Keep\plain.txt', 'plain');
  WriteText(Product + '\Keep\locked.txt', 'locked');
  SetFileAttributes(Product + '\Keep\locked.txt', FILE_ATTRIBUTE_READONLY);
  Called('RemoveFiles Keep with a read-only file', MUR_RemoveFiles(Product + '\Keep'));
  AddLine('seen Keep\locked.txt: ' + Presence(Product + '\Keep\locked.txt'));
  AddLine('seen Keep\plain.txt: ' + Presence(Product + '\Keep\plain.txt'));
  Called('RemoveFiles C:\', MUR_RemoveFiles('C:\'));

  { The registry: a copy, a move, a copy into itself, a missing source. }
  RegWriteStringValue(HKEY_CURRENT_USER, Key + '\Installed', 'Path', Product);
  RegWriteDWordValue(HKEY_CURRENT_USER, Key + '\Installed', 'Build', 1234);
  RegWriteStringValue(HKEY_CURRENT_USER, Key + '\Installed\Options', 'Shortcut', 'yes');
  Called('CopyRegistarInfo copy Installed to Backup',
    MUR_CopyRegistarInfo(HKEY_CURRENT_USER, Key + '\Installed', Key + '\Backup', 0));
  AddLine('seen Backup Path: ' + SeenString('Backup', 'Path'));
  AddLine('seen Backup Build: ' + SeenNumber('Backup', 'Build'));
  AddLine('seen Backup\Options Shortcut: ' + SeenString('Backup\Options', 'Shortcut'));
  Called('CopyRegistarInfo move Backup to Moved',
    MUR_CopyRegistarInfo(HKEY_CURRENT_USER, Key + '\Backup', Key + '\Moved', 1));
  AddLine('seen Backup Path: ' + SeenString('Backup', 'Path'));
  AddLine('seen Moved\Options Shortcut: ' + SeenString('Moved\Options', 'Shortcut'));
  AddLine('seen Installed Path: ' + SeenString('Installed', 'Path'));
  Called('CopyRegistarInfo into itself',
    MUR_CopyRegistarInfo(HKEY_CURRENT_USER, Key + '\Moved', Key + '\Moved\Inner', 1));
  Called('CopyRegistarInfo missing source',
    MUR_CopyRegistarInfo(HKEY_CURRENT_USER, Key + '\Missing', Key + '\Elsewhere', 0));
end;

procedure CurStepChanged(CurStep: TSetupStep);
begin
  if CurStep = ssPostInstall then
    CallEveryExport;
end;
