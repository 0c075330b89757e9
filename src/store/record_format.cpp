#include "store/record_format.h"

#include <cstring>

namespace mur::store {
namespace {

std::uint32_t NameOffset(StoreKind kind) {
  return kind == StoreKind::kUser ? kUserNameOffset : kSectionNameOffset;
}

std::uint32_t ReadU32(std::string_view bytes, std::size_t offset) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return v;
}

}  // namespace

bool SeedBytes::Room(std::size_t count) {
  ok_ = ok_ && count <= kCapacity - size_;
  return ok_;
}

void SeedBytes::Integer(std::uint32_t value, std::uint32_t size) {
  if (size > 4 || !Room(size)) return;
  for (std::uint32_t i = 0; i < size; ++i) bytes_[size_++] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void SeedBytes::Bytes(std::string_view bytes) {
  if (!Room(bytes.size())) return;
  std::memcpy(bytes_ + size_, bytes.data(), bytes.size());
  size_ += bytes.size();
}

void SeedBytes::Zeros(std::size_t count) {
  if (!Room(count)) return;
  std::memset(bytes_ + size_, 0, count);
  size_ += count;
}

SeedBytes DataFileSeed(StoreKind kind, std::string_view name) {
  SeedBytes f;
  f.Integer(1, 4);
  f.Zeros(kDataHeaderSize - 4);
  if (kind == StoreKind::kUser) {
    f.Integer(0, 1);
    f.Integer(kFirstUserNumber, 4);
    f.Integer(kFirstSectionNumber, 4);
    f.Integer(0, 4);
    f.Bytes(name);
    f.Integer(0, 1);
    f.Integer(1, 1);
    f.Integer(1, 1);
    f.Integer(0, 2);
    f.Integer(0, 4);
  } else {
    f.Integer(kFirstSectionNumber, 4);
    f.Integer(0, 4);
    f.Bytes(name);
    f.Integer(0, 1);
  }
  return f;
}

SeedBytes IndexFileSeed(std::uint32_t record_length) {
  SeedBytes f;
  f.Integer(1, 4);
  f.Integer(0, 1);
  f.Integer(0, 4);
  f.Integer(record_length, kIndexLengthSize);
  f.Integer(kDataHeaderSize, 4);
  return f;
}

std::uint32_t RecordLength(StoreKind kind, std::size_t name_length) {
  return static_cast<std::uint32_t>(name_length) +
         (kind == StoreKind::kUser ? kUserRecordOverhead : kSectionRecordOverhead);
}

FileState ClassifyFile(std::uint64_t size, std::string_view head, std::string_view seed) {
  if (size == 0) return FileState::kEmpty;
  if (size >= seed.size() || head.size() != size) return FileState::kContent;
  return std::memcmp(seed.data(), head.data(), head.size()) == 0 ? FileState::kCut : FileState::kContent;
}

bool MayBeCutIndex(std::string_view index) {
  const SeedBytes any = IndexFileSeed(0);
  if (index.size() >= any.view().size()) return false;
  for (std::size_t i = 0; i < index.size(); ++i) {
    const bool length_byte = i >= kIndexLengthOffset && i < kIndexLengthOffset + kIndexLengthSize;
    if (!length_byte && index[i] != any.view()[i]) return false;
  }
  return true;
}

std::uint32_t FirstRecordReadSize(StoreKind kind, std::uint32_t max_name) {
  return kDataHeaderSize + RecordLength(kind, max_name);
}

std::optional<std::uint32_t> FirstRecordLength(StoreKind kind, std::string_view data_prefix) {
  if (data_prefix.size() < kDataHeaderSize || ReadU32(data_prefix, 0) < 1) return std::nullopt;
  const std::size_t name_start = kDataHeaderSize + NameOffset(kind);
  if (data_prefix.size() <= name_start) return std::nullopt;
  const std::size_t end = data_prefix.find('\0', name_start);
  if (end == std::string_view::npos || end == name_start) return std::nullopt;
  const std::uint32_t length = RecordLength(kind, end - name_start);
  if (data_prefix.size() < std::size_t{kDataHeaderSize} + length) return std::nullopt;
  return length;
}

}  // namespace mur::store
