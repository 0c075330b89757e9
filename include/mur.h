/* MUR.dll: the setup extension library's exports.
 *
 * Every export uses the standard (__stdcall) calling convention and takes
 * narrow, zero-terminated text in the system's ANSI code page; a null pointer
 * counts as empty text (for the two registry paths it names the root key).
 * Results are 32-bit integers; nothing is shown and nothing is logged. */
#ifndef MUR_H
#define MUR_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef MUR_API
#define MUR_API __declspec(dllimport)
#endif

/* Seed the record layout's user store (data\UserInfo.Data, data\UserInfo.ID)
 * under the product directory with its first user (1 to 20 bytes, the last
 * character whole): 1 seeded or already present, 0 failed. A seeding that an
 * earlier run left cut short is finished. */
MUR_API int WINAPI MUR_CsMakeUserinfoFile(const char* product_dir, const char* user_name);
/* The same for the section store (data\SectionInfo.Data, data\SectionInfo.ID). */
MUR_API int WINAPI MUR_CsMakeSectionFile(const char* product_dir, const char* section_name);
/* Seed the text layout's data\user10 with its first line: 1 or 0. */
MUR_API int WINAPI MUR_ShMakeUserinfoFile(const char* product_dir, const char* user_name);
/* Seed the text layout's data\section10 with its first line: 1 or 0. */
MUR_API int WINAPI MUR_ShMakeSectionFile(const char* product_dir, const char* section_name);
/* The access mode 0, 1 or 2 in product_dir\TALVINORE.INI; 0 also when it
 * cannot be read. */
MUR_API int WINAPI MUR_GetAccessMode(const char* product_dir);
/* major * 10 + minor (0 to 99) from product_dir\version.txt; -1 when it
 * cannot be read. */
MUR_API int WINAPI MUR_GetVersion(const char* product_dir);
/* The uninstall command's quoting: 1 both quotes around the log path,
 * 2 opening only, 3 closing only, 4 neither. */
MUR_API int WINAPI MUR_CheckDoubleQuotation(const char* uninstall_command);
/* Remove a directory tree: 1 the whole tree is gone, 0 something stayed or
 * it cannot be listed. */
MUR_API int WINAPI MUR_RemoveFiles(const char* directory);
/* Copy root\source to root\destination with every value and subkey; with a
 * move flag whose low byte is 1, then delete the source. 0, or the first
 * Windows error code; ERROR_RETRY (1237) when the source changed meanwhile:
 * a move leaves the complete copy and what changed in the source, a copy of
 * a key that kept changing while it was read is undone. */
MUR_API int WINAPI MUR_CopyRegistarInfo(HKEY root, const char* source, const char* destination, int move_flag);

#ifdef __cplusplus
}
#endif

#endif /* MUR_H */
