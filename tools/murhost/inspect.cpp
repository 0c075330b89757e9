// murhost inspect: a support engineer's look at the record-layout stores.
#include "murhost/inspect.h"

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "store/record_format.h"

namespace murhost {
namespace {

using mur::store::StoreKind;

std::optional<std::string> ReadFileBytes(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return std::nullopt;
  std::string bytes;
  char buf[65536];
  std::size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, got);
  std::fclose(f);
  return bytes;
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char b[4];
  for (unsigned char c : bytes) {
    std::snprintf(b, sizeof b, out.empty() ? "%02X" : " %02X", c);
    out += b;
  }
  return out;
}

// A name for display, converted from the system code page to UTF-8 (what a
// terminal under Wine and log viewers read); its bytes are printed beside it.
std::string Displayed(const std::string& name) {
  if (name.empty()) return name;
  const int n = ::MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), &wide[0], n);
  const int m = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
  std::string utf8(m, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, &utf8[0], m, nullptr, nullptr);
  return utf8;
}

unsigned Le(const std::string& bytes, std::size_t offset, int size) {
  unsigned v = 0;
  for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return v;
}

struct FieldSpec {
  const char* label;
  int size;  // 0: the zero-terminated name
};

// Record fields in file order (see record_format.h).
const std::vector<FieldSpec>& RecordSpec(StoreKind kind) {
  static const std::vector<FieldSpec> user = {
      {"flag", 1},  {"user number", 4}, {"section number", 4}, {"field", 4}, {"name", 0},
      {"flag", 1},  {"flag", 1},        {"field", 2},          {"field", 4}};
  static const std::vector<FieldSpec> section = {
      {"section number", 4}, {"field", 4}, {"name", 0}};
  return kind == StoreKind::kUser ? user : section;
}

// Prints the record's fields; returns the decoded name, or nullopt when the
// record is cut short.
std::optional<std::string> PrintRecord(StoreKind kind, const std::string& record) {
  std::size_t at = 0;
  std::string name;
  for (const FieldSpec& f : RecordSpec(kind)) {
    if (f.size == 0) {
      const std::size_t end = record.find('\0', at);
      if (end == std::string::npos) {
        std::printf("    +%-4zu %-15s cut short: no zero byte ends it\n", at, f.label);
        return std::nullopt;
      }
      name = record.substr(at, end - at);
      std::printf("    +%-4zu %-15s \"%s\" (%zu bytes: %s), ended by a zero byte\n", at, f.label,
                  Displayed(name).c_str(), name.size(), Hex(name).c_str());
      at = end + 1;
      continue;
    }
    if (at + f.size > record.size()) {
      std::printf("    +%-4zu %-15s cut short\n", at, f.label);
      return std::nullopt;
    }
    std::printf("    +%-4zu %-15s %u\n", at, f.label, Le(record, at, f.size));
    at += f.size;
  }
  if (at != record.size()) std::printf("    %zu further bytes in the record\n", record.size() - at);
  return name;
}

void InspectStore(const std::string& product_dir, StoreKind kind) {
  const char* stem = kind == StoreKind::kUser ? "UserInfo" : "SectionInfo";
  const std::string data_name = std::string(stem) + ".Data";
  const std::string index_name = std::string(stem) + ".ID";
  const std::optional<std::string> data = ReadFileBytes(product_dir + "\\data\\" + data_name);
  const std::optional<std::string> index = ReadFileBytes(product_dir + "\\data\\" + index_name);
  std::vector<std::string> problems;

  std::printf("%s\n", index_name.c_str());
  if (!index) {
    std::printf("  absent\n");
    problems.push_back(index_name + " is absent");
  } else {
    std::printf("  %zu bytes\n", index->size());
    if (index->size() >= 4) std::printf("  entry count    %u\n", Le(*index, 0, 4));
    if (index->size() >= mur::store::kIndexFileSize) {
      std::printf("  entry 1        flag %u, field %u, record length %u, record offset %u\n",
                  Le(*index, 4, 1), Le(*index, 5, 4), Le(*index, 9, 4), Le(*index, 13, 4));
    } else {
      problems.push_back(index_name + " holds no whole entry");
    }
  }

  std::printf("%s\n", data_name.c_str());
  std::optional<std::string> name;
  if (!data) {
    std::printf("  absent\n");
    problems.push_back(data_name + " is absent");
  } else {
    std::printf("  %zu bytes\n", data->size());
    if (data->size() < mur::store::kDataHeaderSize) {
      problems.push_back(data_name + " is shorter than its 1024-byte header");
    } else {
      const bool rest_zero =
          data->find_first_not_of('\0', 4) == std::string::npos ||
          data->find_first_not_of('\0', 4) >= mur::store::kDataHeaderSize;
      std::printf("  header         record count %u; bytes 4 to 1023 %s\n", Le(*data, 0, 4),
                  rest_zero ? "all zero" : "NOT all zero");
      const std::optional<std::uint32_t> length = mur::store::FirstRecordLength(kind, *data);
      const std::size_t available = data->size() - mur::store::kDataHeaderSize;
      const std::size_t take = length && *length <= available ? *length : available;
      std::printf("  record 1       at 1024, %zu bytes\n", take);
      name = PrintRecord(kind, data->substr(mur::store::kDataHeaderSize, take));
    }
  }

  // The seeded form: exactly what a seeding with the decoded name writes.
  if (data && index && name) {
    const std::string expected_data(mur::store::DataFileSeed(kind, *name).view());
    const std::string expected_index(
        mur::store::IndexFileSeed(mur::store::RecordLength(kind, name->size())).view());
    if (*data != expected_data) problems.push_back(data_name + " differs from a seeded " + data_name);
    if (*index != expected_index)
      problems.push_back(index_name + " differs from the index of a seeded " + data_name);
  } else if (data && !name) {
    problems.push_back(data_name + " holds no whole first record");
  }
  if (problems.empty()) {
    std::printf("  => %s store in the seeded form\n", kind == StoreKind::kUser ? "user" : "section");
  } else {
    for (const std::string& p : problems) std::printf("  => NOT in the seeded form: %s\n", p.c_str());
  }
}

}  // namespace

int InspectRecordStores(const std::string& product_dir) {
  InspectStore(product_dir, StoreKind::kUser);
  InspectStore(product_dir, StoreKind::kSection);
  return 0;
}

}  // namespace murhost
