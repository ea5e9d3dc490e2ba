// Linked into every window test program: the application object exists before the first
// test, whether or not the test asks for it.
#include "support/TestApp.h"

#include <gtest/gtest.h>

namespace {

class TWindowTestEnvironment : public testing::Environment
{
public:
    void SetUp() override { testApp(); }
};

const testing::Environment* const g_windows = testing::AddGlobalTestEnvironment(new TWindowTestEnvironment);

} // namespace
