#include "support/TTestEngineOptions.h"

#include "engine/VantrelLib.h"

#include <cstdlib>

int32_t TTestEngineOptions::value()
{
    const char* library = std::getenv("BREVANT_TEST_LIBRARY_RECORDS");
    return VANTREL_OPTION_IMAGES_ONLY | (library != nullptr && *library != '\0'
                                             ? VANTREL_OPTION_LIBRARY_RECORDS | VANTREL_OPTION_SERIAL_RECORDS
                                             : VANTREL_OPTION_RECORDS_AHEAD);
}
