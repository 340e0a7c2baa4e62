#include <gtest/gtest.h>

#include <sstream>

#include "frame/io.h"

TEST(IoReal2Str, WorkedValues) {
  IO::INITIO();
  EXPECT_EQ(IO::REAL2STR(123.456L, 4, false), "123.5");
  EXPECT_EQ(IO::REAL2STR(0.000123L, 3, false), "0.000123");
  EXPECT_EQ(IO::REAL2STR(1.23e-8L, 3, false), "1.23e-8");
  EXPECT_EQ(IO::REAL2STR(0.5L, 2, true), "0.50");
}
