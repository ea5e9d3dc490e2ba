#include "engine/VantrelLib.h"

#include <gtest/gtest.h>

#include <cstring>

// The records cross a binary boundary: field order and widths are part of the contract.
TEST(VantrelLayout, RecordsArePackedLittleEndian)
{
    TFileInfo info{};
    info.TrueId = 0x0102030405060708;
    unsigned char bytes[8];
    std::memcpy(bytes, &info, 8);
    EXPECT_EQ(bytes[0], 0x08);
    EXPECT_EQ(bytes[7], 0x01);

    TDriveInfo drive{};
    drive.ParentID = -1;
    std::memcpy(bytes, reinterpret_cast<const char*>(&drive) + 177, 4);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(sizeof(drive), 197u);
}
