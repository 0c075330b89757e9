/* import_host.c: a host that links MUR.dll through an import library when it
 * is built, as a C or C++ program does with the package, and calls each of
 * the nine exports once: in the current folder, which must be a scratch
 * folder of its own, and under HKCU\Software\MURImportHost, which it removes
 * again. It prints what each call returned, and what it then found, one line
 * each.
 *
 * It starts at host_main and uses no C run-time, only KERNEL32, USER32 and
 * ADVAPI32, so that MinGW's linker and an MSVC-style linker (lld-link) link
 * the same object, each with its own form of the import library. */
#include <windows.h>

#include "mur.h"

#define HOST_KEY "Software\\MURImportHost"

static void say(const char* what, int value) {
  char line[128];
  DWORD written;
  int length = wsprintfA(line, "%s: %d\r\n", what, value);
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, (DWORD)length, &written, NULL);
}

/* folder + "\" + name into path (MAX_PATH bytes). */
static void join(char* path, const char* folder, const char* name) {
  lstrcpynA(path, folder, MAX_PATH);
  lstrcatA(path, "\\");
  lstrcatA(path, name);
}

static void write_text(const char* folder, const char* name, const char* text) {
  char path[MAX_PATH];
  DWORD written;
  HANDLE file;
  join(path, folder, name);
  file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  WriteFile(file, text, (DWORD)lstrlenA(text), &written, NULL);
  CloseHandle(file);
}

static int present(const char* folder, const char* name) {
  char path[MAX_PATH];
  join(path, folder, name);
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

void WINAPI host_main(void) {
  char here[MAX_PATH], product[MAX_PATH], data[MAX_PATH], bare[MAX_PATH], old[MAX_PATH];
  HKEY key;
  DWORD build = 1234;

  GetCurrentDirectoryA(MAX_PATH, here);
  join(product, here, "product");
  join(data, product, "data");
  join(bare, here, "bare");
  join(old, product, "old");
  CreateDirectoryA(product, NULL);
  CreateDirectoryA(data, NULL);
  CreateDirectoryA(bare, NULL);

  say("MUR_CsMakeUserinfoFile", MUR_CsMakeUserinfoFile(product, "admin"));
  say("seen data\\UserInfo.Data", present(data, "UserInfo.Data"));
  say("MUR_CsMakeSectionFile no data folder", MUR_CsMakeSectionFile(bare, "section"));
  say("MUR_ShMakeUserinfoFile a,b", MUR_ShMakeUserinfoFile(product, "a,b"));
  say("MUR_ShMakeSectionFile", MUR_ShMakeSectionFile(product, "section"));
  say("seen data\\section10", present(data, "section10"));
  say("seen data\\user10", present(data, "user10"));

  write_text(product, "TALVINORE.INI", "[Settings]\r\nACCESS_MODE 2\r\n");
  say("MUR_GetAccessMode", MUR_GetAccessMode(product));
  write_text(product, "version.txt", "Ver 3.4\r\n");
  say("MUR_GetVersion", MUR_GetVersion(product));
  say("MUR_CheckDoubleQuotation closing only",
      MUR_CheckDoubleQuotation("C:\\WINDOWS\\IsUn0411.exe -fC:\\App\\Uninst.isu\""));

  CreateDirectoryA(old, NULL);
  write_text(old, "old.txt", "old");
  say("MUR_RemoveFiles", MUR_RemoveFiles(old));
  say("seen old", present(product, "old"));

  RegDeleteKeyA(HKEY_CURRENT_USER, HOST_KEY "\\Moved");
  RegDeleteKeyA(HKEY_CURRENT_USER, HOST_KEY "\\Installed");
  if (RegCreateKeyExA(HKEY_CURRENT_USER, HOST_KEY "\\Installed", 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) ==
      ERROR_SUCCESS) {
    RegSetValueExA(key, "Build", 0, REG_DWORD, (const BYTE*)&build, sizeof build);
    RegCloseKey(key);
  }
  say("MUR_CopyRegistarInfo move",
      MUR_CopyRegistarInfo(HKEY_CURRENT_USER, HOST_KEY "\\Installed", HOST_KEY "\\Moved", 1));
  build = 0;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, HOST_KEY "\\Moved", 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
    DWORD size = sizeof build;
    RegQueryValueExA(key, "Build", NULL, NULL, (BYTE*)&build, &size);
    RegCloseKey(key);
  }
  say("seen Moved Build", (int)build);
  say("MUR_CopyRegistarInfo missing source",
      MUR_CopyRegistarInfo(HKEY_CURRENT_USER, HOST_KEY "\\Missing", HOST_KEY "\\Elsewhere", 0));
  RegDeleteKeyA(HKEY_CURRENT_USER, HOST_KEY "\\Moved");
  RegDeleteKeyA(HKEY_CURRENT_USER, HOST_KEY);

  ExitProcess(0);
}
