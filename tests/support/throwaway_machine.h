// Tests that delete the launcher's folders or touch its registry key run only
// where that cannot hurt: under Wine (in the harness's sealed prefix), or on a
// Windows machine whose owner opted in explicitly.
#pragma once

#include <gtest/gtest.h>

// True inside Wine: its ntdll exports wine_get_version.
bool RunningUnderWine();

// Wine, or LAUNCHER_REMOVER_TESTS_MAY_DELETE=1 set by a person.
bool OnThrowawayMachine();

#define REQUIRE_THROWAWAY_MACHINE()                                                                                    \
    if (!OnThrowawayMachine())                                                                                         \
    GTEST_SKIP() << "removes C:\\Tamrel\\...: runs only under Wine or with LAUNCHER_REMOVER_TESTS_MAY_DELETE=1"
