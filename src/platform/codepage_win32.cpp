#include "platform/codepage.h"

#include <cstring>

namespace mur::platform {

text::LeadBytes SystemLeadBytes() {
  return text::LeadBytes::From([](unsigned char b) { return ::IsDBCSLeadByteEx(CP_ACP, b) != FALSE; });
}

DWORD WideFromSystem(const char* narrow, text::Wide* wide) {
  wide->Clear();
  const std::size_t length = narrow ? std::strlen(narrow) : 0;
  if (length == 0) return wide->Reserve(0) ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
  if (length > 0x7FFFFFFF) return ERROR_INVALID_PARAMETER;
  const int n = static_cast<int>(length);
  // Every byte yields at most one UTF-16 unit.
  if (!wide->Resize(length)) return ERROR_NOT_ENOUGH_MEMORY;
  const int got = ::MultiByteToWideChar(CP_ACP, 0, narrow, n, wide->data(), n);
  if (got <= 0) return ::GetLastError();
  wide->Truncate(static_cast<std::size_t>(got));
  return ERROR_SUCCESS;
}

}  // namespace mur::platform
