#pragma once

#include <cstdint>

// The engine options every test runs with: images only, and, when the suite is run a
// second time with BREVANT_TEST_LIBRARY_RECORDS set, NTFS records read through the library.
class TTestEngineOptions
{
public:
    static int32_t value();
};
