#include "files/file_size.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>

#include "test_support.h"

namespace lexiform {
namespace {

TEST(FormatFileSizeTest, SizeTable) {
  const std::pair<std::uint64_t, const char*> table[] = {
      {0, " 0 bytes"},
      {7, " 7 bytes"},
      {10, "10 bytes"},
      {1023, "1023 bytes"},
      {1024, "1.00 KB"},
      {1152, "1.13 KB"}, // 1.125 exactly: half up, where "%.2f" gives 1.12
      {1536, "1.50 KB"},
      {1034, "1.01 KB"}, // 1.009765625
      {1047552, "1023.00 KB"},
      {1048575, "1024.00 KB"},
      {1048576, "1.00 MB"},
      {1179648, "1.13 MB"},
      {1073741823, "1024.00 MB"},
      {1073741824, "1.00 GB"},
      {1207959552, "1.13 GB"},
      {4294967295u, "4.00 GB"},
      {4294967296u, "4.00 GB"},
      {4294967306u, "4.00 GB"},
      {5368709120u, "5.00 GB"},
      {std::uint64_t{1} << 40, "1024.00 GB"},
      {~std::uint64_t{0}, "17179869184.00 GB"},
  };
  for (const auto& [size, text] : table) {
    EXPECT_EQ(FormatFileSize(size), text) << size;
  }
}

TEST(FormatFileSizeTest, PointUnderEveryLocale) {
  // Whatever locale the machine offers with a decimal comma; the C locale otherwise.
  for (const char* name : {"de_DE.UTF-8", "pl_PL.UTF-8", "fr_FR.UTF-8"}) {
    if (std::setlocale(LC_ALL, name)) {
      break;
    }
  }
  EXPECT_EQ(FormatFileSize(1536), "1.50 KB");
  std::setlocale(LC_ALL, "C");
}

TEST(FileSizeTextTest, ExistingMissingAndDirectories) {
  test::ScratchDir dir;
  test::WriteBytes(dir / "empty", "");
  test::WriteBytes(dir / "small", std::string(1152, 'x'));
  EXPECT_EQ(GetFileSizeBytes(dir / "small"), 1152u);
  EXPECT_EQ(FileSizeText(dir / "small"), "1.13 KB");
  EXPECT_EQ(FileSizeText(dir / "empty"), " 0 bytes");
  EXPECT_EQ(FileSizeText(dir / "missing"), " 0 bytes");
  EXPECT_EQ(FileSizeText(dir.Path()), " 0 bytes");
}

TEST(FileSizeTextTest, FilesOfFourGigabytesAreNotEmpty) {
  test::ScratchDir dir;
  const std::uint64_t size = (std::uint64_t{1} << 32) + 10;
  test::WriteBytes(dir / "sparse", "");
  std::error_code error;
  // Sparse: no disk space is used where the file system supports it.
  std::filesystem::resize_file(dir / "sparse", size, error);
  if (error) {
    GTEST_SKIP() << "cannot make a sparse file of 4 GiB here: " << error.message();
  }
  EXPECT_EQ(GetFileSizeBytes(dir / "sparse"), size);
  EXPECT_EQ(FileSizeText(dir / "sparse"), "4.00 GB");
}

} // namespace
} // namespace lexiform
