#include "ecg_control/globalbuffer.h"

#include <gtest/gtest.h>

#include <vector>

TEST(GlobalBuffer, KeptLockedBlockHasOneAddressAndNoCount) {
    CGlobalBuffer buf;
    ASSERT_TRUE(buf.Alloc(64, TRUE));
    BYTE* p1 = buf.Lock();
    BYTE* p2 = buf.Lock();
    EXPECT_NE(p1, nullptr);
    EXPECT_EQ(p1, p2);
    EXPECT_EQ(buf.Unlock(), 0);
    EXPECT_EQ(buf.Unlock(), 0);
    EXPECT_EQ(buf.Lock(), p1);
}

TEST(GlobalBuffer, CountedLocksNestAndUnlockAllClears) {
    CGlobalBuffer buf;
    ASSERT_TRUE(buf.Alloc(16, FALSE));
    EXPECT_EQ(buf.GetLockCount(), 0);
    ASSERT_NE(buf.Lock(), nullptr);
    ASSERT_NE(buf.Lock(), nullptr);
    EXPECT_EQ(buf.Unlock(), 1);
    buf.Lock();
    buf.UnlockAll();
    EXPECT_EQ(buf.GetLockCount(), 0);
    EXPECT_EQ(buf.Unlock(), 0);  // no pending lock: nothing happens
}

TEST(GlobalBuffer, AllocZeroesAndFreeClearsEverything) {
    CGlobalBuffer buf;
    EXPECT_EQ(buf.Lock(), nullptr);
    ASSERT_TRUE(buf.Alloc(8, FALSE));
    std::vector<BYTE> data(8, 0xAA);
    ASSERT_TRUE(buf.Read(data.data(), 8));
    EXPECT_EQ(data, std::vector<BYTE>(8, 0));
    buf.SetUserValue(7);
    buf.Lock();
    buf.Free();
    EXPECT_FALSE(buf.HasBlock());
    EXPECT_EQ(buf.GetSize(), 0u);
    EXPECT_EQ(buf.GetUserValue(), 0);
    EXPECT_EQ(buf.GetLockCount(), 0);
    EXPECT_FALSE(buf.Alloc(0, FALSE));
    EXPECT_FALSE(buf.HasBlock());
}

TEST(GlobalBuffer, MoveLeavesSourceEmptyButKeepsItsUserValue) {
    CGlobalBuffer src, dst;
    ASSERT_TRUE(src.Alloc(32, TRUE));
    src.SetUserValue(1);
    BYTE* p = src.Lock();
    p[3] = 9;
    ASSERT_TRUE(dst.MoveFrom(src));
    EXPECT_FALSE(src.HasBlock());
    EXPECT_EQ(src.GetSize(), 0u);
    EXPECT_EQ(src.GetUserValue(), 1);
    EXPECT_EQ(dst.GetUserValue(), 0);
    EXPECT_EQ(dst.GetSize(), 32u);
    EXPECT_TRUE(dst.IsKeptLocked());
    EXPECT_EQ(dst.Lock(), p);
    EXPECT_FALSE(dst.MoveFrom(src));  // source empty now
}

TEST(GlobalBuffer, CopyOfEmptyFailsAndKeepsTarget) {
    CGlobalBuffer empty, dst;
    ASSERT_TRUE(dst.Alloc(4, FALSE));
    const BYTE ab[4] = {1, 2, 3, 4};
    ASSERT_TRUE(dst.Write(ab, 4));
    EXPECT_FALSE(dst.CopyFrom(empty));
    BYTE out[4] = {};
    ASSERT_TRUE(dst.Read(out, 4));
    EXPECT_EQ(out[3], 4);

    CGlobalBuffer copy;
    copy.SetUserValue(5);
    ASSERT_TRUE(copy.CopyFrom(dst));
    EXPECT_EQ(copy.GetSize(), 4u);
    BYTE out2[4] = {};
    ASSERT_TRUE(copy.Read(out2, 4));
    EXPECT_EQ(out2[0], 1);
    EXPECT_EQ(out2[3], 4);
}

TEST(GlobalBuffer, ReadAndWriteOutsideTheBlockAreRefused) {
    CGlobalBuffer buf;
    BYTE ab[8] = {};
    EXPECT_FALSE(buf.WriteAt(0, ab, 1));
    ASSERT_TRUE(buf.Alloc(8, FALSE));
    EXPECT_TRUE(buf.WriteAt(4, ab, 4));
    EXPECT_FALSE(buf.WriteAt(5, ab, 4));
    EXPECT_FALSE(buf.ReadAt(0xFFFFFFF0u, ab, 0x20));
    EXPECT_TRUE(buf.Fill(0x1FF));
    ASSERT_TRUE(buf.Read(ab, 8));
    EXPECT_EQ(ab[7], 0xFF);
    EXPECT_EQ(buf.GetLockCount(), 0);
}

TEST(WaveBuffer, CreateGivesZeroedLeadsAndEmptiesMarks) {
    CWaveBuffer wave;
    wave.AddMark(10);
    ASSERT_TRUE(wave.Create(12, 5000, 2));
    EXPECT_EQ(wave.GetSize(), 120000u);
    EXPECT_TRUE(wave.m_adwMarks.empty());
    EXPECT_EQ(wave.GetChannelCount(), 12);
    EXPECT_EQ(wave.GetSamplesPerChannel(), 5000u);
    EXPECT_EQ(wave.GetSample(11, 4999), 0);
    ASSERT_TRUE(wave.SetSample(3, 7, -1234));
    EXPECT_EQ(wave.GetSample(3, 7), -1234);
    EXPECT_EQ(wave.GetSample(12, 0), 0);
    EXPECT_FALSE(wave.SetSample(0, 5000, 1));
    wave.AddMark(5);
    wave.Free();
    EXPECT_TRUE(wave.m_adwMarks.empty());
    EXPECT_EQ(wave.GetChannelCount(), 0);
    EXPECT_FALSE(wave.Create(12, 0, 2));
    EXPECT_FALSE(wave.HasBlock());
}

TEST(WaveBuffer, RemoveMarksKeepsOrderOfTheRest) {
    CWaveBuffer wave;
    for (DWORD m : {50u, 100u, 150u, 200u, 250u}) {
        wave.AddMark(m);
    }
    wave.RemoveMarks(100, 200);
    EXPECT_EQ(wave.m_adwMarks, (std::vector<DWORD>{50, 250}));
}

TEST(WaveBuffer, CopyAndMoveCarryTheShapeAndMarks) {
    CWaveBuffer src;
    ASSERT_TRUE(src.Create(12, 100, 2));
    src.SetUserValue(1);
    src.SetSample(11, 99, 321);
    src.AddMark(42);
    CWaveBuffer copy;
    ASSERT_TRUE(copy.CopyFrom(src));
    EXPECT_EQ(copy.GetSample(11, 99), 321);
    EXPECT_EQ(copy.m_adwMarks, std::vector<DWORD>{42});
    EXPECT_EQ(copy.GetUserValue(), 0);
    CWaveBuffer moved;
    ASSERT_TRUE(moved.MoveFrom(src));
    EXPECT_EQ(moved.GetChannelCount(), 12);
    EXPECT_EQ(moved.GetSample(11, 99), 321);
    EXPECT_EQ(moved.m_adwMarks, std::vector<DWORD>{42});
    EXPECT_FALSE(src.HasBlock());
    EXPECT_EQ(src.GetChannelCount(), 0);
    EXPECT_TRUE(src.m_adwMarks.empty());
    EXPECT_EQ(src.GetUserValue(), 1);
}
