// Byte layout of the record layout's stores: a data file (1024-byte header and
// records) and an index file locating each record. Platform-free.
//
// All integers are little-endian and unaligned. A seeded file's bytes are
// built whole, so that a seeding writes each file with one write call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "store/store_name.h"

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
// Offset and size of the index entry's record length.
inline constexpr std::uint32_t kIndexLengthOffset = 9;
inline constexpr std::uint32_t kIndexLengthSize = 4;

// The bytes that a seeding writes into one file, held in place.
class SeedBytes {
 public:
  static constexpr std::size_t kCapacity = kDataHeaderSize + kUserRecordOverhead + kMaxStoreNameBytes;

  std::string_view view() const { return {bytes_, size_}; }
  // False when something did not fit (a name over kMaxStoreNameBytes).
  bool ok() const { return ok_; }

  void Integer(std::uint32_t value, std::uint32_t size);  // 1, 2 or 4 bytes
  void Bytes(std::string_view bytes);
  void Zeros(std::size_t count);

 private:
  bool Room(std::size_t count);

  char bytes_[kCapacity] = {};
  std::size_t size_ = 0;
  bool ok_ = true;
};

// A data file: the header (the record count 1, then 1020 zero bytes) and the
// first record for `name`.
SeedBytes DataFileSeed(StoreKind kind, std::string_view name);
// An index file: one entry for a record of `record_length` bytes at 1024.
SeedBytes IndexFileSeed(std::uint32_t record_length);

std::uint32_t RecordLength(StoreKind kind, std::size_t name_length);

// What a store file is to a seeding that would write `seed` into it.
enum class FileState {
  kEmpty,    // absent or without a byte: the whole seed goes in
  kCut,      // a strict beginning of the seed (an interrupted seeding): the rest goes in
  kContent,  // anything else, which stays as it is
};
// A file of `size` bytes whose leading bytes are `head` (all of them when the
// file is shorter than the seed; otherwise they are not looked at).
FileState ClassifyFile(std::uint64_t size, std::string_view head, std::string_view seed);

// Whether a short index file (fewer bytes than an entry) may be the beginning
// of the entry of some record, whatever its length: the index of a data file
// whose record cannot be read can be told neither cut nor whole.
bool MayBeCutIndex(std::string_view index);

// Reads the length of the first record from the leading bytes of a data file.
// nullopt unless the header counts at least one record and the whole first
// record, with a name of at least one byte ended by a zero, is present.
std::optional<std::uint32_t> FirstRecordLength(StoreKind kind, std::string_view data_prefix);

// How many leading bytes of a data file FirstRecordLength() needs at most for
// names of up to `max_name` bytes.
std::uint32_t FirstRecordReadSize(StoreKind kind, std::uint32_t max_name);

}  // namespace mur::store
