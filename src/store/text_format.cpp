#include "store/text_format.h"

#include "store/store_name.h"

namespace mur::store {

bool IsValidTextName(const std::string& name) {
  return IsValidStoreName(name) && name.find_first_of(",\r\n") == std::string::npos;
}

std::string TextSeedLine(const char* line_template, const std::string& name) {
  std::string line = line_template;
  const std::size_t slot = line.find("%s");
  if (slot != std::string::npos) line.replace(slot, 2, name);
  std::string out;
  out.reserve(line.size() + 2);
  for (char c : line) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace mur::store
