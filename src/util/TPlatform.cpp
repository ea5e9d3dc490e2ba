#include "util/TPlatform.h"

#include "util/TPosixPlatform.h"

namespace {

TPlatform* g_installed = nullptr;

} // namespace

TPlatform& TPlatform::Current()
{
    static TPosixPlatform native;
    return g_installed ? *g_installed : native;
}

TPlatform* TPlatform::Install(TPlatform* platform)
{
    TPlatform* previous = g_installed;
    g_installed = platform;
    return previous;
}
