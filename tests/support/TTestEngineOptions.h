#pragma once

#include <cstdint>

// The engine options every test runs with: images only, NTFS records read by the engine's
// own reader ahead of the caller; when the suite is run a second time with
// BREVANT_TEST_LIBRARY_RECORDS set, read through the library on the thread that asks.
class TTestEngineOptions
{
public:
    static int32_t value();
};
