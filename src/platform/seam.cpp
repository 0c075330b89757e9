#include "platform/seam.h"

#include "platform/seam_natives.h"

namespace mur::platform::seam {

const Hooks* g_hooks = nullptr;

Natives g_natives{&::NtQueryInformationFile, &::NtQueryDirectoryFile};

}  // namespace mur::platform::seam
