// Linked into every test program: the engine lists only the images a test registers,
// never the machine's block devices.
#include "engine/VantrelLib.h"
#include "support/TTestEngineOptions.h"

#include <gtest/gtest.h>

namespace {

class TImagesOnly : public testing::Environment
{
public:
    void SetUp() override { VantrelSetOptions(TTestEngineOptions::value()); }
};

const testing::Environment* const g_imagesOnly = testing::AddGlobalTestEnvironment(new TImagesOnly);

} // namespace
