#include "engine/media/av_packet_buf.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>

#include "engine/media/media_lib.h"
#include "tests/support/leak_checker.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

// A packet with its own payload whose first bytes carry `id`.
TAVPacket* MakePacket(int32_t id) {
  TAVPacket* packet = NewPacket();
  ff::av_new_packet(packet, 8);
  std::memcpy(packet->data, &id, sizeof id);
  return packet;
}

int32_t IdOf(const TAVPacket* packet) {
  int32_t id = -1;
  std::memcpy(&id, packet->data, sizeof id);
  return id;
}

class PacketBufTest : public ::testing::Test {
 protected:
  void SetUp() override { test::LoadMediaLib(); }

  void PushIds(TAVPacketBuf& queue, int32_t from, int32_t count) {
    for (int32_t id = from; id < from + count; ++id) {
      TAVPacket* packet = MakePacket(id);
      queue.Push(std::move(packet));
      ASSERT_EQ(packet, nullptr);
    }
  }

  // Pushes and pops `count` packets so that the positions move on.
  void PassThrough(TAVPacketBuf& queue, int32_t count) {
    PushIds(queue, 0, count);
    for (int32_t i = 0; i < count; ++i) {
      TAVPacket* packet = queue.Pop();
      FreePacket(packet);
    }
  }
};

struct GrowthCase {
  const char* name;
  int32_t passedThrough;  // pushed and popped first, to move the positions
  int32_t held;           // then pushed and left in the queue
  int32_t capacity;       // expected capacity afterwards
};

class PacketBufGrowth : public PacketBufTest, public ::testing::WithParamInterface<GrowthCase> {};

TEST_P(PacketBufGrowth, KeepsEveryPacketInOrder) {
  const GrowthCase& c = GetParam();
  TAVPacketBuf queue;
  PassThrough(queue, c.passedThrough);
  PushIds(queue, 1000, c.held);
  EXPECT_EQ(queue.Capacity, c.capacity);
  EXPECT_EQ(int32_t(queue.Items.size()), c.capacity);
  ASSERT_EQ(queue.Count, c.held);
  for (int32_t i = 0; i < c.held; ++i) {
    TAVPacket* packet = queue.Pop();
    ASSERT_NE(packet, nullptr) << i;
    EXPECT_EQ(IdOf(packet), 1000 + i);
    FreePacket(packet);
  }
  EXPECT_EQ(queue.Pop(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, PacketBufGrowth,
                         ::testing::Values(GrowthCase{"NoWrap127", 0, 127, 128},
                                           GrowthCase{"NoWrap128Grows", 0, 128, 256},
                                           GrowthCase{"Wrapped127Stays", 50, 127, 128},
                                           GrowthCase{"Wrapped128Grows", 50, 128, 256},
                                           GrowthCase{"WrapAtLastSlot", 127, 128, 256},
                                           GrowthCase{"WrappedAfterFirstGrowth255", 128, 255, 256},
                                           GrowthCase{"WrappedAfterFirstGrowth256", 128, 256, 384},
                                           GrowthCase{"TwoGrowthsInOneRun", 30, 300, 384}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PacketBufTest, PopOnEmptyQueueChangesNothing) {
  TAVPacketBuf queue;
  PassThrough(queue, 3);
  EXPECT_EQ(queue.Pop(), nullptr);
  EXPECT_EQ(queue.Count, 0);
  EXPECT_EQ(queue.ReadPos, 3);
  EXPECT_EQ(queue.WritePos, 3);
}

// Under the address sanitizer a double release or a leak fails this test.
TEST_F(PacketBufTest, ClearOnWrappedQueueReleasesEachPacketOnceAndKeepsCapacity) {
  TAVPacketBuf queue;
  PassThrough(queue, 100);
  PushIds(queue, 0, 200);
  ASSERT_EQ(queue.Capacity, 256);
  queue.Clear();
  EXPECT_EQ(queue.Count, 0);
  EXPECT_EQ(queue.ReadPos, 0);
  EXPECT_EQ(queue.WritePos, 0);
  EXPECT_EQ(queue.Capacity, 256);
  PushIds(queue, 7, 1);
  TAVPacket* packet = queue.Pop();
  EXPECT_EQ(IdOf(packet), 7);
  FreePacket(packet);
}

TEST_F(PacketBufTest, PushTakesOwnershipOfABorrowedPayload) {
  uint8_t borrowed[16] = {1, 2, 3, 4};
  TAVPacket* packet = NewPacket();
  packet->data = borrowed;
  packet->size = 4;
  TAVPacketBuf queue;
  queue.Push(std::move(packet));
  borrowed[0] = 99;
  packet = queue.Pop();
  ASSERT_NE(packet, nullptr);
  EXPECT_NE(packet->data, borrowed);
  ASSERT_EQ(packet->size, 4);
  EXPECT_EQ(packet->data[0], 1);
  EXPECT_EQ(packet->data[3], 4);
  FreePacket(packet);
}

TEST_F(PacketBufTest, DestroyingAQueueReleasesHeldPackets) {
  if (!test::LeakCheckerBuilt()) GTEST_SKIP() << "only the leak checker can see a lost packet";
  auto queue = std::make_unique<TAVPacketBuf>();
  PushIds(*queue, 0, 130);
  queue.reset();  // the leak checker reports any packet left behind
  SUCCEED();
}

}  // namespace
}  // namespace vexo
