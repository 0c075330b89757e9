// Recognising a whole drive, volume or share: by the spelling of a path, and
// by what the file system reports for an open directory. Platform-free.
#pragma once

#include <string_view>

namespace mur::maintenance {

// True for the empty path and for every spelling of a drive, volume or share
// root: "\", "C:", "C:\", "\\server", "\\server\share" (with or without
// trailing separators, either separator), the same behind the "\\?\",
// "\\.\" and "\??\" prefixes ("UNC" in any letter case), and under
// "\\?\GLOBALROOT\" ("??", "GLOBAL??" or "DosDevices" followed by any of
// these; "Device" and a device name alone, "Harddisk<N>\Partition<M>" taken
// as one; "Device\Mup" or "Device\LanmanRedirector" followed by a server and
// share; any other object directory and one name in it). A device or volume
// name alone ("\\?\Volume{...}\") is a root; one component below it is not.
bool NamesARoot(std::wstring_view path);

// Whether an open directory is the root of its volume or share, from its path
// within the volume as the file system reports it for the handle ("\" for a
// local volume's root; a remote one reports "\server\share\..."): a local
// path with no component, or a remote one with at most two.
bool IsVolumeOrShareRoot(std::wstring_view path_in_volume, bool remote);

}  // namespace mur::maintenance
