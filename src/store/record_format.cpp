#include "store/record_format.h"

namespace mur::store {
namespace {

constexpr char kZeroBlock[kDataHeaderSize] = {};

std::uint32_t NameOffset(StoreKind kind) {
  return kind == StoreKind::kUser ? kUserNameOffset : kSectionNameOffset;
}

std::uint32_t ReadU32(std::string_view bytes, std::size_t offset) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return v;
}

}  // namespace

Fields::Field* Fields::Add() { return count_ < kMaxFields ? &fields_[count_++] : nullptr; }

void Fields::Integer(std::uint32_t value, std::uint32_t size) {
  if (size > 4 || own_used_ + size > sizeof own_) return;
  Field* f = Add();
  if (!f) return;
  *f = {nullptr, own_used_, size};
  for (std::uint32_t i = 0; i < size; ++i) own_[own_used_++] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void Fields::Name(std::string_view name) {
  if (Field* f = Add()) *f = {name.data(), 0, static_cast<std::uint32_t>(name.size())};
}

void Fields::Zeros(std::uint32_t count) {
  if (count > sizeof kZeroBlock) return;
  if (Field* f = Add()) *f = {kZeroBlock, 0, count};
}

Fields DataHeaderFields() {
  Fields f;
  f.Integer(1, 4);
  f.Zeros(kDataHeaderSize - 4);
  return f;
}

Fields UserRecordFields(std::string_view name) {
  Fields f;
  f.Integer(0, 1);
  f.Integer(kFirstUserNumber, 4);
  f.Integer(kFirstSectionNumber, 4);
  f.Integer(0, 4);
  f.Name(name);
  f.Integer(0, 1);
  f.Integer(1, 1);
  f.Integer(1, 1);
  f.Integer(0, 2);
  f.Integer(0, 4);
  return f;
}

Fields SectionRecordFields(std::string_view name) {
  Fields f;
  f.Integer(kFirstSectionNumber, 4);
  f.Integer(0, 4);
  f.Name(name);
  f.Integer(0, 1);
  return f;
}

Fields FirstRecordFields(StoreKind kind, std::string_view name) {
  return kind == StoreKind::kUser ? UserRecordFields(name) : SectionRecordFields(name);
}

Fields IndexFields(std::uint32_t record_length) {
  Fields f;
  f.Integer(1, 4);
  f.Integer(0, 1);
  f.Integer(0, 4);
  f.Integer(record_length, 4);
  f.Integer(kDataHeaderSize, 4);
  return f;
}

std::uint32_t RecordLength(StoreKind kind, std::size_t name_length) {
  return static_cast<std::uint32_t>(name_length) +
         (kind == StoreKind::kUser ? kUserRecordOverhead : kSectionRecordOverhead);
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
