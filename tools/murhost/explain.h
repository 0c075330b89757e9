// murhost explain: runs an export's work with the very code the library runs
// (exports/operations.h), told each decision as it is made, and prints them:
// one line each, or one JSON object a line with --json. Text is printed as
// UTF-8.
#pragma once

#include <string>
#include <vector>

namespace murhost {

// Exit code: 0 when the export ran (whatever its result), 2 for a usage error.
int Explain(const std::string& export_name, const std::vector<std::string>& args, bool json);

}  // namespace murhost
