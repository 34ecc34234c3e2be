// Every file we ship carries the one version of the build, so that the installer,
// Explorer's properties and support all see the same number.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "PrintCMString.h"
#include "harness/TestEnvironment.h"

namespace {

CMString StringValue(const std::vector<BYTE>& block, const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT size = 0;
    CMString key = CMString(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &size) || !value) return CMString();
    return CMString(value);
}

TEST(Version, EveryShippedFileCarriesTheOneVersion) {
    const wchar_t* files[] = {
        L"PhonebookEditor.exe",
        L"m2fpd02.dll",
        L"pbtool.exe",
        L"Morva\\Language Data\\V5.0\\en-US\\m2txtZY.dll",
        L"Morva\\Language Data\\V5.0\\de-DE\\m2txtZY.dll",
        L"Morva\\Language Data\\V5.0\\he-IL\\m2txtZY.dll",
    };
    const CMString wanted(PBE_VERSION_TEXT);
    for (const wchar_t* name : files) {
        const CMString path = testenv::DistDir() + name;
        SCOPED_TRACE(path.ToUtf8());
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        ASSERT_GT(size, 0u);
        std::vector<BYTE> block(size);
        ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT fixedSize = 0;
        ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize));
        EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(PBE_VERSION_MINOR, PBE_VERSION_MAJOR)));
        EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, PBE_VERSION_PATCH)));
        EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
        EXPECT_EQ(StringValue(block, L"FileVersion"), wanted);
        EXPECT_EQ(StringValue(block, L"ProductVersion"), wanted);
        EXPECT_FALSE(StringValue(block, L"CompanyName").IsBlank());
        EXPECT_FALSE(StringValue(block, L"FileDescription").IsBlank());
        EXPECT_FALSE(StringValue(block, L"ProductName").IsBlank());
    }
}

}  // namespace
