// The native queries inside a platform call whose answers the test build of
// the library stands in for (seam.h, kQueryFileId, kListWithIds,
// kEmptyListingRead). The platform calls them through this table: the real
// functions, unless the seam's controls swap an entry. A call through it
// costs no test. Platform-internal.
#pragma once

#include "platform/ntdll.h"

namespace mur::platform::seam {

struct Natives {
  decltype(&::NtQueryInformationFile) query_information_file;  // a handle's file id
  decltype(&::NtQueryDirectoryFile) query_directory_file;      // every listing read
};

extern Natives g_natives;

}  // namespace mur::platform::seam
