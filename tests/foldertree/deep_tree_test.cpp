// A tree deeper than any stack: the walks keep their way down in memory of
// their own, not in calls that nest one per level. Left with about 64 KiB
// of stack, a walk that recursed (some 400 to 650 bytes of stack a level)
// would overflow within 200 levels (the program before did: under Wine its
// calls failed there, and the tree stayed).
#include <gtest/gtest.h>

#include <malloc.h>

#include <string>
#include <vector>

#include "foldertree/folder_walks.h"
#include "foldertree/full_path.h"
#include "tests/support/scratch_tree.h"
#include "tests/support/trace_capture.h"

namespace {

constexpr int Depth = 400;
constexpr ULONG_PTR StackLeft = 64 * 1024;
// Below the stack's last usable byte: its guard page and what the system
// keeps to raise the overflow.
constexpr ULONG_PTR StackKeptBySystem = 16 * 1024;

struct DeepRemoval {
    std::wstring root;
    bool removed = false;
};

// Takes all of the thread's stack but StackLeft, then removes the tree.
// (Wine gives a thread at least 1 MiB, whatever CreateThread asks for.)
DWORD WINAPI RemoveOnSmallStack(void* argument)
{
    MEMORY_BASIC_INFORMATION stack = {};
    if (VirtualQuery(&stack, &stack, sizeof(stack)) == 0) {
        return 1;
    }
    const auto here = reinterpret_cast<ULONG_PTR>(&stack);
    const auto bottom = reinterpret_cast<ULONG_PTR>(stack.AllocationBase);
    // The stack itself, not _malloca, which may take the heap instead.
    // cppcheck-suppress _allocaCalled
    volatile char* taken = static_cast<char*>(_alloca(here - bottom - StackLeft - StackKeptBySystem));
    taken[0] = 0;
    auto* removal = static_cast<DeepRemoval*>(argument);
    removal->removed = RemoveFolder(removal->root);
    return 0;
}

TEST(DeepTree, FourHundredLevelsAreRemovedWith64KiBOfStack)
{
    DeepRemoval removal{NewScratchFolder(L"deep")};
    std::wstring folder = ExtendedPathOf(removal.root);
    for (int level = 0; level < Depth; ++level) {
        folder += L"\\a";
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << "level " << level;
    }
    ASSERT_TRUE(MakeFile(folder + L"\\bottom.txt", FILE_ATTRIBUTE_READONLY));
    TraceCapture trace;

    HANDLE thread = CreateThread(nullptr, 0, RemoveOnSmallStack, &removal, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 120000));
    DWORD exitCode = 1;
    GetExitCodeThread(thread, &exitCode);
    CloseHandle(thread);
    ASSERT_EQ(0u, exitCode) << "the thread's stack could not be found";

    EXPECT_TRUE(removal.removed);
    EXPECT_FALSE(Exists(removal.root));
    EXPECT_EQ(std::vector<std::wstring>{}, trace.Lines());
}

} // namespace
