#include "engine/media/wave_buffer.h"

#include <gtest/gtest.h>

namespace vexo {
namespace {

TWaveBuffer BufferOf(std::vector<uint8_t> bytes) {
  TWaveBuffer wave;
  wave.Data = std::move(bytes);
  return wave;
}

TEST(WaveBuffer, DropFrontMovesTheRestDownAndZeroesBehindIt) {
  TWaveBuffer wave = BufferOf({1, 2, 3, 4, 5, 6, 7, 8});
  wave.DropFront(2, 6);
  EXPECT_EQ(wave.Data, (TBuffer{3, 4, 5, 6, 0, 0, 7, 8}));
}

TEST(WaveBuffer, DropFrontOfMoreThanFilledEmptiesOnlyTheFilledPart) {
  TWaveBuffer wave = BufferOf({1, 2, 3, 4, 9});
  wave.DropFront(10, 4);
  EXPECT_EQ(wave.Data, (TBuffer{0, 0, 0, 0, 9}));
}

TEST(WaveBuffer, InsertSilenceShiftsUpWithoutOverwriting) {
  TWaveBuffer wave = BufferOf({1, 2, 3, 4, 0, 0, 0});
  wave.InsertSilence(3, 4);
  EXPECT_EQ(wave.Data, (TBuffer{0, 0, 0, 1, 2, 3, 4}));
}

TEST(WaveBuffer, InsertSilenceGrowsWhenRoomIsShort) {
  TWaveBuffer wave = BufferOf({1, 2, 3});
  wave.InsertSilence(4, 3);
  EXPECT_EQ(wave.Data, (TBuffer{0, 0, 0, 0, 1, 2, 3}));
  EXPECT_EQ(wave.DataSize(), 7);
}

}  // namespace
}  // namespace vexo
