#include "tests/guard/refusal_checks.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/registered_folder.h"
#include "tests/support/scratch_tree.h"
#include "tests/support/trace_capture.h"

void ExpectRefused(const std::wstring& location, const std::wstring& subject)
{
    TraceCapture trace;
    EXPECT_FALSE(RemoveInstallFolder(location)) << location.c_str();
    EXPECT_EQ(std::vector<std::wstring>{L"Remove refused : " + subject}, trace.Lines());
}

void ExpectRefusedAnyhow(const std::wstring& location)
{
    TraceCapture trace;
    EXPECT_FALSE(RemoveInstallFolder(location)) << location.c_str();
    ASSERT_EQ(1u, trace.Lines().size()) << location.c_str();
    EXPECT_EQ(0u, trace.Lines()[0].find(L"Remove refused : ")) << trace.Lines()[0].c_str();
}

void ExpectRemoved(const std::wstring& location, const std::wstring& folder)
{
    TraceCapture trace;
    EXPECT_TRUE(RemoveInstallFolder(location)) << location.c_str();
    EXPECT_EQ(std::vector<std::wstring>{}, trace.Lines());
    EXPECT_FALSE(Exists(folder)) << folder.c_str();
}

Sentinel::Sentinel(const std::wstring& folder)
    : folder_(folder), file_(folder + L"\\" + Unique(L"sentinel") + L".sav"),
      named_(folder + L"\\" + Unique(L"velstrand") + L".exe")
{
    CreateDirectoryW(folder.c_str(), nullptr);
    EXPECT_TRUE(MakeFile(file_, SentinelAttributes)) << file_.c_str();
    EXPECT_TRUE(MakeFile(named_)) << named_.c_str();
}

Sentinel::~Sentinel()
{
    SetFileAttributesW(file_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(file_.c_str());
    DeleteFileW(named_.c_str());
}

void Sentinel::ExpectUntouched() const
{
    EXPECT_EQ(SentinelAttributes, AttributesOf(file_) & SentinelAttributes) << file_.c_str();
    EXPECT_TRUE(Exists(named_)) << named_.c_str();
}
