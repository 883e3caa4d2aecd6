// The owning handle must balance every reference it takes: one CFRelease per adopted or
// retained reference, none for one it hands out, and none twice after a move.
#include <gtest/gtest.h>

#include <utility>

#include "platform/macos/CFOwned.h"

namespace corvane::mac {
namespace {

// A mutable array: a real heap object whose retain count CoreFoundation reports truly.
// The test keeps one reference of its own, so the count it reads is 1 + the handles' share.
class CFOwnedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    first_ = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    second_ = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    ASSERT_NE(first_, nullptr);
    ASSERT_NE(second_, nullptr);
  }
  void TearDown() override {
    EXPECT_EQ(CFGetRetainCount(first_), 1) << "a handle left the first object unbalanced";
    EXPECT_EQ(CFGetRetainCount(second_), 1) << "a handle left the second object unbalanced";
    CFRelease(first_);
    CFRelease(second_);
  }
  // A reference for a handle to adopt, as a Create call would return it.
  CFMutableArrayRef created(CFMutableArrayRef object) {
    CFRetain(object);
    return object;
  }

  CFMutableArrayRef first_ = nullptr;
  CFMutableArrayRef second_ = nullptr;
};

TEST_F(CFOwnedTest, AdoptsWithoutRetainingAndReleasesOnceWhenItGoes) {
  {
    const CFOwned<CFMutableArrayRef> owned(created(first_));
    EXPECT_EQ(owned.get(), first_);
    EXPECT_TRUE(owned);
    EXPECT_EQ(CFGetRetainCount(first_), 2);
  }
}

TEST_F(CFOwnedTest, RetainingTakesAReferenceOfItsOwn) {
  { const auto owned = CFOwned<CFMutableArrayRef>::retaining(first_); }
  const auto empty = CFOwned<CFMutableArrayRef>::retaining(nullptr);
  EXPECT_FALSE(empty);
}

TEST_F(CFOwnedTest, MovingHandsTheReferenceOverExactlyOnce) {
  CFOwned<CFMutableArrayRef> source(created(first_));
  CFOwned<CFMutableArrayRef> moved(std::move(source));
  EXPECT_FALSE(source);  // NOLINT(bugprone-use-after-move): the moved-from state is the point
  EXPECT_EQ(moved.get(), first_);
  EXPECT_EQ(CFGetRetainCount(first_), 2);

  CFOwned<CFMutableArrayRef> target(created(second_));
  target = std::move(moved);  // releases the second object, takes the first
  EXPECT_EQ(target.get(), first_);
  EXPECT_EQ(CFGetRetainCount(first_), 2);
  EXPECT_EQ(CFGetRetainCount(second_), 1);
}

TEST_F(CFOwnedTest, ResetReleasesTheOldReferenceAndAdoptsTheNew) {
  CFOwned<CFMutableArrayRef> owned(created(first_));
  owned.reset(created(second_));
  EXPECT_EQ(CFGetRetainCount(first_), 1);
  EXPECT_EQ(CFGetRetainCount(second_), 2);
  owned.reset();
  EXPECT_FALSE(owned);
}

TEST_F(CFOwnedTest, ResetToTheSameObjectStaysBalanced) {
  CFOwned<CFMutableArrayRef> owned(created(first_));
  owned.reset(created(first_));
  EXPECT_EQ(CFGetRetainCount(first_), 2);
}

TEST_F(CFOwnedTest, ReleaseHandsTheReferenceToTheCaller) {
  CFOwned<CFMutableArrayRef> owned(created(first_));
  CFMutableArrayRef handedOut = owned.release();
  EXPECT_FALSE(owned);
  EXPECT_EQ(CFGetRetainCount(first_), 2);
  CFRelease(handedOut);
}

TEST_F(CFOwnedTest, AnEmptyHandleReleasesNothing) {
  CFOwned<CFMutableArrayRef> empty;
  CFOwned<CFMutableArrayRef> adoptedNothing(nullptr);
  empty = std::move(adoptedNothing);
  EXPECT_FALSE(empty);
  EXPECT_EQ(empty.get(), nullptr);
}

}  // namespace
}  // namespace corvane::mac
