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

// The files the Wine harness stages: the programs under C:\harness and the
// link fixtures under C:\fixtures (made from the Linux side).
bool HarnessFilesPresent();

// Under Wine the harness's files must be there; elsewhere (Windows) a test
// that needs them is skipped, saying why.
#define REQUIRE_HARNESS_FILES()                                                                                        \
    do {                                                                                                               \
        if (!HarnessFilesPresent()) {                                                                                  \
            ASSERT_FALSE(RunningUnderWine()) << "the Wine harness staged no C:\\harness or C:\\fixtures";              \
            GTEST_SKIP() << "needs the files the Wine harness stages under C:\\harness and C:\\fixtures";              \
        }                                                                                                              \
    } while (0)
