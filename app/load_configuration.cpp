// The image's load configuration, for toolchains whose linker writes none of
// its own (MSVC's does, given /DEPENDENTLOADFLAG). Its one setting: the
// DLLs the program imports are looked for in System32 only, never beside
// the program, where a download folder may hold a planted DLL of the same
// name. GNU ld does not point the image's load-configuration directory at
// this record; the build does so after the link (cmake/set-load-config.py).
#include <windows.h>

namespace {

constexpr IMAGE_LOAD_CONFIG_DIRECTORY SystemDllsOnly()
{
    IMAGE_LOAD_CONFIG_DIRECTORY configuration{};
    configuration.Size = sizeof(configuration);
    configuration.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32; // DependentLoadFlags
    return configuration;
}

} // namespace

// The name the loader's convention gives the record.
extern "C" const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = SystemDllsOnly();
