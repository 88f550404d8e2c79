// What the built executable carries: a 32-bit GUI image that needs only
// Windows system DLLs, one manifest, two icon groups and its version.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "tests/support/throwaway_machine.h"
#include "version.h"

namespace {

// The 32-bit program, the product, in every Wine mode.
const std::wstring Program = L"C:\\harness\\product\\LauncherRemover.exe";

std::vector<char> ReadWholeFile(const std::wstring& path)
{
    std::vector<char> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return bytes;
}

class Executable : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_HARNESS_FILES();
        image_ = ReadWholeFile(Program);
        ASSERT_GT(image_.size(), sizeof(IMAGE_DOS_HEADER)) << "run wine_setup first";
        module_ = LoadLibraryExW(Program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(nullptr, module_);
    }
    void TearDown() override
    {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }

    const IMAGE_NT_HEADERS32& Headers() const
    {
        const auto& dos = *reinterpret_cast<const IMAGE_DOS_HEADER*>(image_.data());
        return *reinterpret_cast<const IMAGE_NT_HEADERS32*>(image_.data() + dos.e_lfanew);
    }

    // File offset of a relative virtual address.
    size_t OffsetOf(DWORD rva) const
    {
        const IMAGE_NT_HEADERS32& headers = Headers();
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(&headers);
        for (WORD i = 0; i < headers.FileHeader.NumberOfSections; ++i, ++section) {
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->Misc.VirtualSize) {
                return rva - section->VirtualAddress + section->PointerToRawData;
            }
        }
        return 0;
    }

    std::vector<std::string> ImportedDlls() const
    {
        std::vector<std::string> names;
        const DWORD rva = Headers().OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
        auto descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image_.data() + OffsetOf(rva));
        for (; descriptor->Name != 0; ++descriptor) {
            std::string name = image_.data() + OffsetOf(descriptor->Name);
            std::transform(name.begin(), name.end(), name.begin(),
                           [](char c) { return static_cast<char>(::tolower(c)); });
            names.push_back(name);
        }
        return names;
    }

    std::string Resource(const wchar_t* type, WORD id) const
    {
        HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
        if (found == nullptr) {
            return std::string();
        }
        const char* data = static_cast<const char*>(LockResource(LoadResource(module_, found)));
        return std::string(data, SizeofResource(module_, found));
    }

    std::vector<char> image_;
    HMODULE module_ = nullptr;
};

TEST_F(Executable, IsA32BitGuiProgramNeedingOnlySystemDlls)
{
    EXPECT_EQ(IMAGE_NT_SIGNATURE, Headers().Signature);
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, Headers().FileHeader.Machine);
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, Headers().OptionalHeader.Subsystem);

    const std::set<std::string> system = {"kernel32.dll", "user32.dll", "advapi32.dll", "shlwapi.dll", "msvcrt.dll",
                                          "gdi32.dll",    "ntdll.dll",  "ucrtbase.dll", "ole32.dll",   "shell32.dll"};
    const std::vector<std::string> imports = ImportedDlls();
    EXPECT_FALSE(imports.empty());
    for (const std::string& dll : imports) {
        EXPECT_TRUE(system.count(dll) == 1 || dll.rfind("api-ms-win-", 0) == 0) << dll << " is not a system DLL";
    }
}

BOOL CALLBACK CountName(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

TEST_F(Executable, CarriesOneManifestAskingForNothingMore)
{
    int manifests = 0;
    EnumResourceNamesW(module_, RT_MANIFEST, CountName, reinterpret_cast<LONG_PTR>(&manifests));
    EXPECT_EQ(1, manifests);

    const std::string manifest = Resource(RT_MANIFEST, 1);
    for (const char* required : {"level=\"asInvoker\"", "uiAccess=\"false\"", ">true</longPathAware>",
                                 ">PerMonitorV2</dpiAwareness>", "name=\"Microsoft.Windows.Common-Controls\"",
                                 "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
        EXPECT_NE(std::string::npos, manifest.find(required)) << required;
    }
}

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

std::vector<IconGroupEntry> Entries(const std::string& group)
{
    std::vector<IconGroupEntry> entries;
    if (group.size() < 6) {
        return entries;
    }
    WORD count = 0;
    std::memcpy(&count, group.data() + 4, 2);
    for (WORD i = 0; i < count && 6 + (i + 1) * sizeof(IconGroupEntry) <= group.size(); ++i) {
        IconGroupEntry entry;
        std::memcpy(&entry, group.data() + 6 + i * sizeof(IconGroupEntry), sizeof(entry));
        entries.push_back(entry);
    }
    return entries;
}

TEST_F(Executable, HasTwoIconGroupsOfTheSameSixteenColourImages)
{
    const std::vector<IconGroupEntry> first = Entries(Resource(RT_GROUP_ICON, 107));
    const std::vector<IconGroupEntry> second = Entries(Resource(RT_GROUP_ICON, 108));
    ASSERT_EQ(2u, first.size());
    ASSERT_EQ(2u, second.size());
    std::set<int> sizes;
    for (size_t i = 0; i < 2; ++i) {
        sizes.insert(first[i].width);
        EXPECT_EQ(first[i].width, first[i].height);
        EXPECT_EQ(16, first[i].colours);
        EXPECT_EQ(4, first[i].bitCount);
        EXPECT_EQ(first[i].width, second[i].width);
        EXPECT_EQ(Resource(RT_ICON, first[i].id), Resource(RT_ICON, second[i].id)) << "image " << i;
        EXPECT_FALSE(Resource(RT_ICON, first[i].id).empty());
    }
    EXPECT_EQ((std::set<int>{16, 32}), sizes);
}

TEST_F(Executable, NamesItselfInKorean)
{
    DWORD ignored = 0;
    std::vector<BYTE> info(GetFileVersionInfoSizeW(Program.c_str(), &ignored));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoW(Program.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    for (const wchar_t* field : {L"FileDescription", L"ProductName"}) {
        wchar_t* value = nullptr;
        UINT length = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\041204B0\\") + field;
        ASSERT_TRUE(VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) << field;
        EXPECT_EQ(std::wstring(L"리놉 하르벤 삭제"), value);
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(static_cast<DWORD>(MAKELONG(LAUNCHER_REMOVER_VERSION_MINOR, LAUNCHER_REMOVER_VERSION_MAJOR)),
              fixed->dwFileVersionMS);
}

} // namespace
