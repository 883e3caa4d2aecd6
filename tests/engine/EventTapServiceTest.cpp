#include <gtest/gtest.h>

TEST(EventTapServiceTest, Placeholder) {}
