#include "store/record_format.h"

namespace mur::store {
namespace {

std::string U8(std::uint8_t v) { return std::string(1, static_cast<char>(v)); }

std::string U16(std::uint16_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

std::string U32(std::uint32_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
          static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
}

std::uint32_t NameOffset(StoreKind kind) {
  return kind == StoreKind::kUser ? kUserNameOffset : kSectionNameOffset;
}

std::uint32_t ReadU32(const std::string& bytes, std::size_t offset) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes.at(offset + i));
  return v;
}

}  // namespace

Fields DataHeaderFields() { return {U32(1), std::string(kDataHeaderSize - 4, '\0')}; }

Fields UserRecordFields(const std::string& name) {
  return {U8(0),  U32(kFirstUserNumber), U32(kFirstSectionNumber), U32(0), name, U8(0), U8(1),
          U8(1),  U16(0),                U32(0)};
}

Fields SectionRecordFields(const std::string& name) {
  return {U32(kFirstSectionNumber), U32(0), name, U8(0)};
}

Fields FirstRecordFields(StoreKind kind, const std::string& name) {
  return kind == StoreKind::kUser ? UserRecordFields(name) : SectionRecordFields(name);
}

Fields IndexFields(std::uint32_t record_length) {
  return {U32(1), U8(0), U32(0), U32(record_length), U32(kDataHeaderSize)};
}

std::uint32_t RecordLength(StoreKind kind, std::size_t name_length) {
  return static_cast<std::uint32_t>(name_length) +
         (kind == StoreKind::kUser ? kUserRecordOverhead : kSectionRecordOverhead);
}

std::uint32_t FirstRecordReadSize(StoreKind kind, std::uint32_t max_name) {
  return kDataHeaderSize + RecordLength(kind, max_name);
}

std::optional<std::uint32_t> FirstRecordLength(StoreKind kind, const std::string& data_prefix) {
  if (data_prefix.size() < kDataHeaderSize || ReadU32(data_prefix, 0) < 1) return std::nullopt;
  const std::size_t name_start = kDataHeaderSize + NameOffset(kind);
  if (data_prefix.size() <= name_start) return std::nullopt;
  const std::size_t end = data_prefix.find('\0', name_start);
  if (end == std::string::npos || end == name_start) return std::nullopt;
  const std::uint32_t length = RecordLength(kind, end - name_start);
  if (data_prefix.size() < std::size_t{kDataHeaderSize} + length) return std::nullopt;
  return length;
}

}  // namespace mur::store
