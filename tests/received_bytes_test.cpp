#include "reception/received_bytes.h"

#include <gtest/gtest.h>

using namespace zendrik;

TEST(ReceivedBytes, BoundedAccessReadsZeroOutsideTheStream) {
    ReceivedBytes bytes;
    EXPECT_EQ(bytes.Add(0xAA), 0);
    EXPECT_EQ(bytes.Add(0x55), 1);
    EXPECT_EQ(bytes.At(1), 0x55);
    EXPECT_EQ(bytes.At(2), 0);
    EXPECT_EQ(bytes.At(-1), 0);
    bytes.SetSize(4);
    EXPECT_EQ(bytes.GetSize(), 4);
    EXPECT_EQ(bytes[3], 0);
    bytes.SetSize(0);
    EXPECT_EQ(bytes.GetSize(), 0);
}
