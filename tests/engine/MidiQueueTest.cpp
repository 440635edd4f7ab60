#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "MidiQueue.h"

namespace {

MidiMessage Msg(int offset, uint8_t status, uint8_t d1 = 0, uint8_t d2 = 0) {
  MidiMessage m;
  m.offset = offset;
  m.status = status;
  m.data1 = d1;
  m.data2 = d2;
  return m;
}

std::vector<MidiMessage> Drain(MidiQueue& q, int B) {
  std::vector<MidiMessage> out;
  q.ApplyDue(B, [&](const MidiMessage& m) { out.push_back(m); });
  return out;
}

std::vector<MidiMessage> Unread(const MidiQueue& q) {
  std::vector<MidiMessage> out;
  for (int i = 0; i < q.Pending(); ++i) out.push_back(q.Entry(i));
  return out;
}

}  // namespace

TEST(MidiQueue, StartsWithRoomFor1024) {
  MidiQueue q;
  EXPECT_EQ(q.Capacity(), 1024);
  EXPECT_EQ(q.GrowthStep(), 1024);
  EXPECT_EQ(q.Pending(), 0);
  EXPECT_EQ(q.Front(), nullptr);
}

TEST(MidiQueue, EqualOffsetsKeepArrivalOrder) {
  MidiQueue q;
  q.Add(Msg(5, 0x90, 60, 100));
  q.Add(Msg(5, 0x90, 62, 100));
  q.Add(Msg(9, 0x90, 67, 100));
  q.Add(Msg(5, 0x80, 60, 0));  // sorts in before offset 9, after both at 5
  auto out = Drain(q, 44);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0].data1, 60);
  EXPECT_EQ(out[0].status, 0x90);
  EXPECT_EQ(out[1].data1, 62);
  EXPECT_EQ(out[2].status, 0x80);
  EXPECT_EQ(out[3].data1, 67);
}

TEST(MidiQueue, LaterNoteOffQueuedFirstIsAppliedAfterEarlierNoteOn) {
  MidiQueue q;
  q.Add(Msg(10, 0x80, 60, 0));
  q.Add(Msg(5, 0x90, 60, 100));
  auto out = Drain(q, 44);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].status, 0x90);
  EXPECT_EQ(out[0].offset, 5);
  EXPECT_EQ(out[1].status, 0x80);
  EXPECT_EQ(out[1].offset, 10);
}

TEST(MidiQueue, InsertionIsStableForAnyArrivalOrder) {
  MidiQueue q;
  std::vector<MidiMessage> sent;
  uint32_t x = 12345;
  for (int i = 0; i < 3000; ++i) {
    x = x * 1103515245u + 12345u;
    MidiMessage m = Msg(static_cast<int>((x >> 16) % 50) - 5, 0x90, i & 127, (i >> 7) & 127);
    sent.push_back(m);
    ASSERT_TRUE(q.Add(m));
  }
  std::stable_sort(sent.begin(), sent.end(),
                   [](const MidiMessage& a, const MidiMessage& b) { return a.offset < b.offset; });
  auto got = Unread(q);
  ASSERT_EQ(got.size(), sent.size());
  for (size_t i = 0; i < got.size(); ++i) {
    ASSERT_EQ(got[i].offset, sent[i].offset) << i;
    ASSERT_EQ(got[i].data1, sent[i].data1) << i;
    ASSERT_EQ(got[i].data2, sent[i].data2) << i;
  }
}

TEST(MidiQueue, AppliesOnlyWhatIsDueAndShiftsTheRest) {
  MidiQueue q;
  q.Add(Msg(30, 0xE0, 0, 64));
  q.Add(Msg(70, 0x90, 60, 100));
  q.Add(Msg(44, 0x90, 62, 100));  // exactly one block away: due now
  q.Add(Msg(45, 0x90, 64, 100));
  q.Add(Msg(-3, 0x90, 65, 100));  // late: due at once

  auto first = Drain(q, 44);
  ASSERT_EQ(first.size(), 3u);
  EXPECT_EQ(first[0].offset, -3);
  EXPECT_EQ(first[1].offset, 30);
  EXPECT_EQ(first[2].offset, 44);
  ASSERT_EQ(q.Pending(), 2);
  EXPECT_EQ(q.Entry(0).offset, 1);   // 45 - 44
  EXPECT_EQ(q.Entry(1).offset, 26);  // 70 - 44

  auto second = Drain(q, 44);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[0].data1, 64);
  EXPECT_EQ(second[1].data1, 60);
  EXPECT_EQ(second[1].offset, 26);
  EXPECT_EQ(q.Pending(), 0);
}

TEST(MidiQueue, PiecewiseDrainMatchesApplyDue) {
  MidiQueue q;
  q.Add(Msg(3, 0x90, 60, 1));
  q.Add(Msg(50, 0x90, 61, 1));
  ASSERT_NE(q.Front(), nullptr);
  EXPECT_EQ(q.Front()->data1, 60);
  q.Pop();
  EXPECT_EQ(q.Front()->data1, 61);
  q.Compact(44);
  EXPECT_EQ(q.Pending(), 1);
  EXPECT_EQ(q.Front()->offset, 6);
  q.Pop();
  q.Pop();  // popping an empty queue is harmless
  EXPECT_EQ(q.Front(), nullptr);
}

TEST(MidiQueue, GrowsByTheGrowthStepKeepingEveryMessage) {
  MidiQueue q;
  for (int i = 0; i < 1024; ++i) ASSERT_TRUE(q.Add(Msg(i, 0x90, i & 127, 1)));
  EXPECT_EQ(q.Capacity(), 1024);
  ASSERT_TRUE(q.Add(Msg(1024, 0x90, 0, 1)));
  EXPECT_EQ(q.Capacity(), 2048);
  ASSERT_TRUE(q.Add(Msg(0, 0x80, 7, 0)));  // an early one sorted into the grown array
  ASSERT_EQ(q.Pending(), 1026);
  EXPECT_EQ(q.Entry(0).offset, 0);
  EXPECT_EQ(q.Entry(0).status, 0x90);
  EXPECT_EQ(q.Entry(1).offset, 0);
  EXPECT_EQ(q.Entry(1).status, 0x80);
  for (int i = 2; i < 1026; ++i) ASSERT_EQ(q.Entry(i).offset, i - 1);
}

TEST(MidiQueue, FullArrayWithConsumedEntriesIsCompactedNotGrown) {
  MidiQueue q;
  for (int i = 0; i < 1024; ++i) ASSERT_TRUE(q.Add(Msg(i, 0x90, i & 127, 1)));
  for (int i = 0; i < 10; ++i) q.Pop();
  ASSERT_TRUE(q.Add(Msg(2000, 0x80, 1, 0)));
  EXPECT_EQ(q.Capacity(), 1024);
  ASSERT_EQ(q.Pending(), 1015);
  EXPECT_EQ(q.Entry(0).offset, 10);
  EXPECT_EQ(q.Entry(1013).offset, 1023);
  EXPECT_EQ(q.Entry(1014).offset, 2000);
}

TEST(MidiQueue, ResizeFollowsTheHostBlockSize) {
  MidiQueue q;
  q.Resize(1024);
  EXPECT_EQ(q.GrowthStep(), 1024);
  EXPECT_EQ(q.Capacity(), 1024);
  q.Resize(100);
  EXPECT_EQ(q.GrowthStep(), 512);
  EXPECT_EQ(q.Capacity(), 512);
  q.Resize(513);
  EXPECT_EQ(q.GrowthStep(), 1024);
  EXPECT_EQ(q.Capacity(), 1024);
  q.Resize(4096);
  EXPECT_EQ(q.Capacity(), 4096);
}

TEST(MidiQueue, ResizeKeepsUnreadMessagesAndDropsConsumedOnes) {
  MidiQueue q;
  for (int i = 0; i < 2000; ++i) ASSERT_TRUE(q.Add(Msg(i, 0x90, i & 127, 1)));
  for (int i = 0; i < 5; ++i) q.Pop();
  q.Resize(100);
  EXPECT_EQ(q.GrowthStep(), 512);
  EXPECT_EQ(q.Capacity(), 2048);  // 1995 unread, rounded up to 512s
  ASSERT_EQ(q.Pending(), 1995);
  for (int i = 0; i < 1995; ++i) ASSERT_EQ(q.Entry(i).offset, i + 5);
  // Full again after 53 more; the next one grows by one growth step.
  for (int i = 0; i < 53; ++i) ASSERT_TRUE(q.Add(Msg(3000 + i, 0x90, 0, 1)));
  EXPECT_EQ(q.Capacity(), 2048);
  ASSERT_TRUE(q.Add(Msg(5000, 0x90, 0, 1)));
  EXPECT_EQ(q.Capacity(), 2560);
  EXPECT_EQ(q.Pending(), 2049);
}

TEST(MidiQueue, BlockSizeZeroStillQueuesMessages) {
  MidiQueue q;
  q.Resize(0);
  EXPECT_EQ(q.GrowthStep(), 512);
  for (int i = 0; i < 600; ++i) ASSERT_TRUE(q.Add(Msg(i, 0x90, 60, 1)));
  EXPECT_EQ(q.Capacity(), 1024);
  EXPECT_EQ(q.Pending(), 600);
}

TEST(MidiQueue, HugeOffsetsDoNotOverflowTheDueTest) {
  MidiQueue q;
  q.Add(Msg(INT32_MIN, 0x90, 1, 1));
  q.Add(Msg(INT32_MAX, 0x90, 2, 1));
  auto out = Drain(q, 44);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].data1, 1);
  ASSERT_EQ(q.Pending(), 1);
  EXPECT_EQ(q.Entry(0).offset, INT32_MAX - 44);
}

// A host that sends events and never renders them (a stalled or suspended
// instance fed MIDI): the queue stops at its bound instead of growing without
// end, and takes messages again once the render catches up.
TEST(MidiQueue, UnreadMessagesAreBounded) {
  MidiQueue q;
  q.Resize(1 << 20);  // the largest host block: one growth step holds the bound
  for (int i = 0; i < MidiQueue::kMaxPending; ++i) ASSERT_TRUE(q.Add(Msg(i, 0x90, i & 127, 1)));
  EXPECT_FALSE(q.Add(Msg(0, 0x80, 1, 0)));
  EXPECT_EQ(q.Pending(), MidiQueue::kMaxPending);
  EXPECT_EQ(q.Capacity(), MidiQueue::kMaxPending);
  EXPECT_EQ(Drain(q, 99).size(), 100u);
  EXPECT_TRUE(q.Add(Msg(0, 0x80, 1, 0)));
  EXPECT_EQ(q.Pending(), MidiQueue::kMaxPending - 99);
}
