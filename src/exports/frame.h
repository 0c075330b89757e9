// The frame every export runs in: text arguments are copied into strings the
// call owns (a null pointer is the empty text), and no exception or failure
// leaves the export other than as its failure value.
#pragma once

#include <string>

namespace mur::exports {

inline std::string TextArg(const char* text) { return text ? std::string(text) : std::string(); }

template <class Body>
int RunExport(int failure_value, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure_value;
  }
}

}  // namespace mur::exports
