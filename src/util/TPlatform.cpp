#include "util/TPlatform.h"

#include "util/TPosixPlatform.h"

TPlatform& TPlatform::Current()
{
    static TPosixPlatform native;
    TPlatform* installed = TInstalled::Get();
    return installed ? *installed : native;
}
