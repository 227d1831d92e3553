// The Windows module's version resource, read back through the Windows version API.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// The DLL beside the test, or the one TALLYRIG_MODULE names (the release zip's).
std::filesystem::path modulePath() {
  if (const char* named = std::getenv("TALLYRIG_MODULE"); named != nullptr && *named != '\0') {
    return named;
  }
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return std::filesystem::path(self).parent_path() / "Tallyrig.dll";
}

std::string stringValue(std::vector<char>& block, const char* name) {
  struct Translation {
    WORD language;
    WORD codePage;
  }* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translation), &length) ||
      length < sizeof(Translation)) {
    return "<no translation>";
  }
  char key[128];
  wsprintfA(key, "\\StringFileInfo\\%04x%04x\\%s", translation->language, translation->codePage,
            name);
  char* value = nullptr;
  if (!VerQueryValueA(block.data(), key, reinterpret_cast<void**>(&value), &length)) {
    return "<missing>";
  }
  return value;
}

TEST(VersionResourceTest, FileAndProductVersionAndNames) {
  const std::string path = modulePath().string();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  ASSERT_GT(size, 0u) << path << ": error " << GetLastError();
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, (1u << 16) | 0u);
  EXPECT_EQ(fixed->dwFileVersionLS, (0u << 16) | 157u);
  EXPECT_EQ(fixed->dwProductVersionMS, (1u << 16) | 0u);
  EXPECT_EQ(fixed->dwProductVersionLS, (0u << 16) | 157u);

  EXPECT_EQ(stringValue(block, "FileVersion"), "1.0.0.157");
  EXPECT_EQ(stringValue(block, "ProductVersion"), "1.0.0.157");
  EXPECT_EQ(stringValue(block, "InternalName"), "Tallyrig.dll");
  EXPECT_EQ(stringValue(block, "OriginalFilename"), "Tallyrig.dll");
}

}  // namespace
