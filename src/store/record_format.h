// Byte layout of the record layout's stores: a data file (1024-byte header and
// records) and an index file locating each record. Platform-free.
//
// All integers are little-endian and unaligned. Each encoder returns the
// fields in file order, one field per write call, so that a seeded file is
// written one field at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace mur::store {

enum class StoreKind { kUser, kSection };

inline constexpr std::uint32_t kDataHeaderSize = 1024;
inline constexpr std::uint32_t kIndexFileSize = 17;
inline constexpr std::uint32_t kFirstUserNumber = 10000;
inline constexpr std::uint32_t kFirstSectionNumber = 10;
// Bytes of a record that are not the name: n + 22 for users, n + 9 for sections.
inline constexpr std::uint32_t kUserRecordOverhead = 22;
inline constexpr std::uint32_t kSectionRecordOverhead = 9;
// Offset of the name inside a record.
inline constexpr std::uint32_t kUserNameOffset = 13;
inline constexpr std::uint32_t kSectionNameOffset = 8;

// The fields of one write sequence. Integers are held by the list itself; a
// name is referred to, so the name's bytes must outlive the list.
class Fields {
 public:
  static constexpr std::size_t kMaxFields = 16;

  std::size_t size() const { return count_; }
  std::string_view operator[](std::size_t i) const {
    const Field& f = fields_[i];
    return {f.bytes ? f.bytes : own_ + f.offset, f.size};
  }

  // Appending past kMaxFields is a programming error and is ignored.
  void Integer(std::uint32_t value, std::uint32_t size);  // 1, 2 or 4 bytes
  void Name(std::string_view name);
  void Zeros(std::uint32_t count);  // at most kDataHeaderSize bytes

 private:
  struct Field {
    const char* bytes;     // null: the bytes are own_ + offset
    std::uint32_t offset;
    std::uint32_t size;
  };
  Field* Add();

  Field fields_[kMaxFields] = {};
  std::size_t count_ = 0;
  char own_[kMaxFields * 4] = {};
  std::uint32_t own_used_ = 0;
};

// Data file header: the record count 1, then 1020 zero bytes.
Fields DataHeaderFields();
// The first record of UserInfo.Data / SectionInfo.Data for `name`.
Fields UserRecordFields(std::string_view name);
Fields SectionRecordFields(std::string_view name);
Fields FirstRecordFields(StoreKind kind, std::string_view name);
// The index file: one entry for a record of `record_length` bytes at 1024.
Fields IndexFields(std::uint32_t record_length);

std::uint32_t RecordLength(StoreKind kind, std::size_t name_length);

// Reads the length of the first record from the leading bytes of a data file.
// nullopt unless the header counts at least one record and the whole first
// record, with a name of at least one byte ended by a zero, is present.
std::optional<std::uint32_t> FirstRecordLength(StoreKind kind, std::string_view data_prefix);

// How many leading bytes of a data file FirstRecordLength() needs at most for
// names of up to `max_name` bytes.
std::uint32_t FirstRecordReadSize(StoreKind kind, std::uint32_t max_name);

}  // namespace mur::store
