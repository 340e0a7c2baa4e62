#include <gtest/gtest.h>

#include "data/kpglobal.h"

TEST(BaseTypes, TdvectorSlotsFollowTheFieldOrder) {
  KPGLOBAL::tdvector row;
  row.h = 1;
  row.theta = 12;
  row.makeem = 30;
  EXPECT_EQ(row[1], 1);
  EXPECT_EQ(row[12], 12);
  EXPECT_EQ(row[30], 30);
  row[25] = 7;
  EXPECT_EQ(row.sffac, 7);
}
