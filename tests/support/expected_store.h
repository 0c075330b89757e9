// The stores' seeded bytes, written out from the record and text layouts'
// tables independently of the library's encoder.
#pragma once

#include <cstdint>
#include <string>

namespace murtest {

inline std::string Le(std::uint32_t v, int size) {
  std::string s;
  for (int i = 0; i < size; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return s;
}

inline std::string Header() { return Le(1, 4) + std::string(1020, '\0'); }

inline std::string UserRecord(const std::string& name) {
  return Le(0, 1) + Le(10000, 4) + Le(10, 4) + Le(0, 4) + name + Le(0, 1) + Le(1, 1) + Le(1, 1) +
         Le(0, 2) + Le(0, 4);
}

inline std::string SectionRecord(const std::string& name) {
  return Le(10, 4) + Le(0, 4) + name + Le(0, 1);
}

inline std::string Index(std::uint32_t record_length) {
  return Le(1, 4) + Le(0, 1) + Le(0, 4) + Le(record_length, 4) + Le(1024, 4);
}

// One store of the record layout, as the tests address it.
struct RecordStore {
  const char* label;
  const char* export_name;
  const char* data_file;
  const char* index_file;
  std::string (*record)(const std::string& name);
};

inline const RecordStore kUserRecords{"user", "MUR_CsMakeUserinfoFile", "UserInfo.Data", "UserInfo.ID",
                                      UserRecord};
inline const RecordStore kSectionRecords{"section", "MUR_CsMakeSectionFile", "SectionInfo.Data",
                                         "SectionInfo.ID", SectionRecord};

inline std::string Seeded(const RecordStore& store, const std::string& name) { return Header() + store.record(name); }
inline std::string SeededIndex(const RecordStore& store, const std::string& name) {
  return Index(static_cast<std::uint32_t>(store.record(name).size()));
}

inline std::string UserLine(const std::string& name) { return "10000," + name + ",,1,1,0,,,,,\r\n"; }
inline std::string SectionLine(const std::string& name) { return "10," + name + "\r\n"; }

// One store of the text layout.
struct TextStore {
  const char* label;
  const char* export_name;
  const char* file;
  std::string (*line)(const std::string& name);
};

inline const TextStore kUserText{"user", "MUR_ShMakeUserinfoFile", "user10", UserLine};
inline const TextStore kSectionText{"section", "MUR_ShMakeSectionFile", "section10", SectionLine};

}  // namespace murtest
