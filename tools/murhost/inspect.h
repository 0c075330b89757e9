#pragma once

#include <string>

namespace murhost {

// Prints the record-layout stores of `product_dir` decoded field by field,
// and says where a file is not in the form a seeding writes. Returns 0.
int InspectRecordStores(const std::string& product_dir);

}  // namespace murhost
