// RegistryKey on a key that the test owns under HKCU\Software, deleted after.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "registry/registry_key.h"

namespace {

class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static unsigned counter = 0;
        path_ =
            L"Software\\LauncherRemoverTests\\" + std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
    }
    void TearDown() override
    {
        if (key_.handle != nullptr) {
            key_.Close();
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, path_.c_str());
    }

    void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes)
    {
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, path_.c_str(), name, type, data, bytes));
    }

    bool KeyExists() const
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(key);
        return true;
    }

    // Opens the test's key through RegistryKey, as the stage does.
    void OpenKey()
    {
        key_ = {HKEY_CURRENT_USER, nullptr};
        ASSERT_TRUE(key_.Open(L"\\" + path_));
    }

    std::wstring path_;
    RegistryKey key_ = {HKEY_CURRENT_USER, nullptr};
};

TEST_F(RegistryKeyTest, OneLeadingBackslashIsIgnoredAndOnlyOne)
{
    const std::wstring text = L"C:\\Games\\app.exe";
    SetRaw(L"location", REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));

    RegistryKey plain = {HKEY_CURRENT_USER, nullptr};
    ASSERT_TRUE(plain.Open(path_));
    EXPECT_EQ(text, plain.QueryString(L"location", L"-"));
    plain.Close();
    EXPECT_EQ(nullptr, plain.handle);

    OpenKey();
    EXPECT_EQ(text, key_.QueryString(L"location", L"-"));

    // The second backslash stays part of the path, and no key path can
    // start with one: neither opened nor created.
    RegistryKey doubled = {HKEY_CURRENT_USER, nullptr};
    EXPECT_FALSE(doubled.Open(L"\\\\" + path_));
}

TEST_F(RegistryKeyTest, MissingKeyIsCreatedAndReadsAsTheFallback)
{
    ASSERT_FALSE(KeyExists());
    OpenKey();
    EXPECT_NE(nullptr, key_.handle);
    EXPECT_TRUE(KeyExists());
    EXPECT_EQ(L"fallback", key_.QueryString(L"location", L"fallback"));
}

TEST_F(RegistryKeyTest, TextUpTo2048BytesIsReadWholeAndLongerGivesTheFallback)
{
    const std::wstring fits(1023, L'a'); // 2046 bytes and the NUL: 2048
    const std::wstring tooLong(1024, L'b'); // 2050 bytes with the NUL
    SetRaw(L"fits", REG_SZ, fits.c_str(), 2048);
    SetRaw(L"long", REG_SZ, tooLong.c_str(), 2050);
    OpenKey();
    EXPECT_EQ(fits, key_.QueryString(L"fits", L"-"));
    EXPECT_EQ(L"-", key_.QueryString(L"long", L"-")) << "never a cut-off text";
    EXPECT_EQ(L"-", key_.QueryString(L"missing", L"-"));
}

TEST_F(RegistryKeyTest, DataWithoutATerminatorEndsWithTheBytesReturned)
{
    // Wine repairs a REG_SZ stored without its NUL, so the raw bytes go in as
    // REG_BINARY: the type is never looked at.
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    SetRaw(L"plain", REG_BINARY, unterminated, sizeof(unterminated));
    SetRaw(L"string", REG_SZ, unterminated, sizeof(unterminated));
    SetRaw(L"odd", REG_BINARY, "a\0b\0c\0d", 7);
    const wchar_t inner[] = {L'a', L'b', L'\0', L'c', L'd'};
    SetRaw(L"inner", REG_BINARY, inner, sizeof(inner));
    const std::wstring full(1024, L'z');
    SetRaw(L"full", REG_BINARY, full.c_str(), 2048);
    const DWORD number = 0x00420041; // "AB" in UTF-16LE
    SetRaw(L"number", REG_DWORD, &number, sizeof(number));
    const std::wstring expandable = L"%TEMP%\\app.exe";
    SetRaw(L"expand", REG_EXPAND_SZ, expandable.c_str(), static_cast<DWORD>((expandable.size() + 1) * sizeof(wchar_t)));

    OpenKey();
    EXPECT_EQ(L"abc", key_.QueryString(L"plain", L"-"));
    EXPECT_EQ(L"abc", key_.QueryString(L"string", L"-"));
    EXPECT_EQ(L"abc", key_.QueryString(L"odd", L"-")) << "the odd last byte is dropped";
    EXPECT_EQ(L"ab", key_.QueryString(L"inner", L"-"));
    EXPECT_EQ(full, key_.QueryString(L"full", L"-"));
    EXPECT_EQ(L"AB", key_.QueryString(L"number", L"-"));
    EXPECT_EQ(expandable, key_.QueryString(L"expand", L"-")) << "read as stored, not expanded";
}

TEST_F(RegistryKeyTest, DeleteValueRemovesOnlyThatValue)
{
    SetRaw(L"version", REG_SZ, L"1", 4);
    SetRaw(L"language", REG_SZ, L"k", 4);
    OpenKey();
    key_.DeleteValue(L"version");
    key_.DeleteValue(L"never-there");
    EXPECT_EQ(L"-", key_.QueryString(L"version", L"-"));
    EXPECT_EQ(L"k", key_.QueryString(L"language", L"-"));
    EXPECT_TRUE(KeyExists());
}

} // namespace
