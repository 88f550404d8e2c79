// Shared ground for the end-to-end tests: a clean start (no launcher folders,
// no launcher key), and what the user must see in each outcome's box.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tools/driver/program_run.h"
#include "tests/support/scratch_tree.h"

using Lines = std::vector<std::wstring>;

extern const std::wstring Program;
extern const std::wstring Parent;
extern const std::wstring Fixed;
// The launcher's key under HKEY_CURRENT_USER.
extern const std::wstring LauncherKey;

// A REG_SZ value under the launcher's key, as the launcher writes it.
void SetLauncherValue(const std::wstring& name, const std::wstring& text);
bool LauncherValueExists(const std::wstring& name);

// The program saved at path, started as Explorer starts it: in its folder.
ProgramRun RunCopyFrom(const std::wstring& path);

// The user's temporary folder, as the program started next inherits it,
// for one scope.
class TemporaryFolderSetTo {
public:
    explicit TemporaryFolderSetTo(const std::wstring& folder);
    ~TemporaryFolderSetTo();
    TemporaryFolderSetTo(const TemporaryFolderSetTo&) = delete;
    TemporaryFolderSetTo& operator=(const TemporaryFolderSetTo&) = delete;

private:
    std::wstring saved_;
    bool hadOne_ = false;
};

class RemovalRun : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    static void MakeParent();
    static void ExpectSuccessBox(const ProgramRun& run);
    static void ExpectFailureBox(const ProgramRun& run);
    // The program saved at saved, in install's "tools" folder, started there
    // with no temporary folder to move into: it cannot leave, so the failure
    // box, with the program and the named file kept for the next run.
    static void ExpectKeptWithoutATemporaryFolder(const std::wstring& install, const std::wstring& saved);
    // A run of the program started elsewhere then finishes the install.
    static void ExpectFinishedFromElsewhere(const std::wstring& install);
    // The program saved at saved, run again from there, finishes the install.
    static void ExpectFinishedFromThere(const std::wstring& saved, const std::wstring& install);

private:
    static void ExpectFinished(const ProgramRun& run, const std::wstring& install);
};
