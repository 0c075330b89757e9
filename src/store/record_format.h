// Byte layout of the record layout's stores: a data file (1024-byte header and
// records) and an index file locating each record. Platform-free.
//
// All integers are little-endian and unaligned. Each encoder returns the
// fields in file order, one string per write call, so that a seeded file is
// written one field at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

using Fields = std::vector<std::string>;

// Data file header: the record count 1, then 1020 zero bytes.
Fields DataHeaderFields();
// The first record of UserInfo.Data / SectionInfo.Data for `name`.
Fields UserRecordFields(const std::string& name);
Fields SectionRecordFields(const std::string& name);
Fields FirstRecordFields(StoreKind kind, const std::string& name);
// The index file: one entry for a record of `record_length` bytes at 1024.
Fields IndexFields(std::uint32_t record_length);

std::uint32_t RecordLength(StoreKind kind, std::size_t name_length);

// Reads the length of the first record from the leading bytes of a data file.
// nullopt unless the header counts at least one record and the whole first
// record, with a name of at least one byte ended by a zero, is present.
std::optional<std::uint32_t> FirstRecordLength(StoreKind kind, const std::string& data_prefix);

// How many leading bytes of a data file FirstRecordLength() needs at most for
// names of up to `max_name` bytes.
std::uint32_t FirstRecordReadSize(StoreKind kind, std::uint32_t max_name);

}  // namespace mur::store
