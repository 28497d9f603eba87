#pragma once
// A set of command-table rows, 0 to 87, kept as 11 bytes: bit i of byte
// i / 8 is row i. Command tables, menus and enabling all speak in these sets.
#include <array>
#include <cassert>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace vexo {

class TCommandSet {
 public:
  static constexpr int kBytes = 11;
  static constexpr int kMaxRow = kBytes * 8 - 1;

  constexpr TCommandSet() = default;
  constexpr TCommandSet(std::initializer_list<int> rows) {
    for (int row : rows) Include(row);
  }
  // Every row from first to last, both included.
  static constexpr TCommandSet Range(int first, int last) {
    TCommandSet set;
    for (int row = first; row <= last; ++row) set.Include(row);
    return set;
  }

  constexpr bool Contains(int row) const {
    return row >= 0 && row <= kMaxRow && (FBytes[row / 8] >> (row % 8)) & 1;
  }
  constexpr void Include(int row) {
    assert(row >= 0 && row <= kMaxRow);
    FBytes[row / 8] |= std::uint8_t(1u << (row % 8));
  }
  constexpr void Exclude(int row) {
    assert(row >= 0 && row <= kMaxRow);
    FBytes[row / 8] &= std::uint8_t(~(1u << (row % 8)));
  }
  constexpr bool Empty() const {
    for (std::uint8_t b : FBytes)
      if (b) return false;
    return true;
  }

  constexpr TCommandSet operator|(const TCommandSet& other) const {
    return Combine(other, [](std::uint8_t a, std::uint8_t b) { return std::uint8_t(a | b); });
  }
  constexpr TCommandSet operator&(const TCommandSet& other) const {
    return Combine(other, [](std::uint8_t a, std::uint8_t b) { return std::uint8_t(a & b); });
  }
  constexpr TCommandSet operator-(const TCommandSet& other) const {
    return Combine(other, [](std::uint8_t a, std::uint8_t b) { return std::uint8_t(a & ~b); });
  }
  constexpr bool operator==(const TCommandSet&) const = default;

  // The members in ascending order.
  std::vector<int> Rows() const {
    std::vector<int> rows;
    for (int row = 0; row <= kMaxRow; ++row)
      if (Contains(row)) rows.push_back(row);
    return rows;
  }
  constexpr const std::array<std::uint8_t, kBytes>& Bytes() const { return FBytes; }

 private:
  template <typename TOp>
  constexpr TCommandSet Combine(const TCommandSet& other, TOp op) const {
    TCommandSet out;
    for (int i = 0; i < kBytes; ++i) out.FBytes[i] = op(FBytes[i], other.FBytes[i]);
    return out;
  }

  std::array<std::uint8_t, kBytes> FBytes{};
};

}  // namespace vexo
