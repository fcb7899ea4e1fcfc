#include <gtest/gtest.h>

#include <string>

#include "common/heap_test_hooks.h"
#include "common/wide_string.h"

namespace nivra {
namespace {

std::u16string Str(const WideString& s) {
    return std::u16string(s.Text(), s.Length());
}

class AllocationGuard {
  public:
    AllocationGuard() : live_(testing::LiveAllocations()) {}
    ~AllocationGuard() {
        testing::StopFailingAllocations();
        EXPECT_EQ(testing::LiveAllocations(), live_) << "blocks leaked";
    }

  private:
    std::size_t live_;
};

TEST(WideString, AnEmptyStringGivesATerminatedEmptyText) {
    WideString s;
    EXPECT_EQ(s.Length(), 0u);
    EXPECT_EQ(s.Text()[0], u'\0');
    EXPECT_EQ(s.FindLast(u'\\'), WideString::npos);
}

TEST(WideString, AppendsGrowAndStayTerminated) {
    AllocationGuard guard;
    WideString s;
    std::u16string expected;
    for (int i = 0; i < 500; ++i) {
        ASSERT_EQ(s.Append(u"ab\\"), kOk);
        expected += u"ab\\";
    }
    EXPECT_EQ(Str(s), expected);
    EXPECT_EQ(s.Text()[s.Length()], u'\0');
    EXPECT_EQ(s.FindLast(u'\\'), expected.size() - 1);
}

TEST(WideString, AppendingItsOwnTextWorksWhileTheBufferMoves) {
    AllocationGuard guard;
    WideString s;
    ASSERT_EQ(s.Assign(u"xyz"), kOk);
    for (int i = 0; i < 8; ++i)
        ASSERT_EQ(s.Append(s), kOk);
    EXPECT_EQ(s.Length(), 3u * 256);
    EXPECT_EQ(Str(s).substr(0, 6), u"xyzxyz");
}

TEST(WideString, OutOfMemoryIsReportedAndKeepsTheOldContent) {
    AllocationGuard guard;
    WideString s;
    ASSERT_EQ(s.Assign(u"kept"), kOk);
    testing::FailAllocationsAfter(0);
    std::u16string longer(5000, u'x');
    EXPECT_EQ(s.Append(longer.c_str()), kOutOfMemory);
    EXPECT_EQ(s.Reserve(100000), kOutOfMemory);
    EXPECT_EQ(testing::RefusedAllocations(), 2u);
    testing::StopFailingAllocations();
    EXPECT_EQ(Str(s), u"kept");
}

TEST(WideString, ALengthBeyondTheCapacityIsRefused) {
    WideString s;
    EXPECT_EQ(s.SetLength(1), kInvalidArg);
    ASSERT_EQ(s.Reserve(10), kOk);
    EXPECT_EQ(s.SetLength(s.Capacity() + 1), kInvalidArg);
    EXPECT_EQ(s.Length(), 0u);
}

TEST(WideString, AHugeRequestIsOutOfMemoryNotAnOverflow) {
    WideString s;
    EXPECT_EQ(s.Reserve(static_cast<std::size_t>(-1)), kOutOfMemory);
    EXPECT_EQ(s.Reserve(static_cast<std::size_t>(-1) / 2), kOutOfMemory);
}

TEST(WideString, MovingHandsTheBufferOver) {
    AllocationGuard guard;
    WideString a;
    ASSERT_EQ(a.Assign(u"path"), kOk);
    WideString b = static_cast<WideString&&>(a);
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(Str(b), u"path");
    a = static_cast<WideString&&>(b);
    EXPECT_EQ(Str(a), u"path");
}

TEST(ResultCodes, PlatformErrorsBecomeResultsByTheirLowSixteenBits) {
    EXPECT_EQ(HResultFromWin32(0), kOk);
    EXPECT_EQ(HResultFromWin32(2), static_cast<HResult>(0x80070002));
    EXPECT_EQ(HResultFromWin32(14), kOutOfMemory);
    EXPECT_EQ(HResultFromWin32(0x12345), static_cast<HResult>(0x80072345));
    EXPECT_EQ(HResultFromWin32(-5), -5);
}

}  // namespace
}  // namespace nivra
