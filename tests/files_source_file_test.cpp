// Reading a source: byte for byte, and never past the length it had when opened.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/source_file.h"
#include "test_support.h"

namespace lexiform {
namespace {

std::string ReadWhole(SourceFile& source, std::size_t capacity) {
  std::vector<char> buffer(capacity + 1);
  const std::size_t got = source.ReadInto(buffer.data(), capacity);
  return std::string(buffer.data(), got);
}

TEST(SourceFileTest, ReadsEveryByte) {
  test::ScratchDir dir;
  std::string bytes("a\r\nb\nc\rd\0e\x1a\xff", 12);
  bytes += std::string(200000, 'z'); // more than one read
  test::WriteBytes(dir / "in.pas", bytes);
  SourceFile source(dir / "in.pas");
  EXPECT_EQ(source.Size(), bytes.size());
  EXPECT_EQ(ReadWhole(source, bytes.size()), bytes);
}

TEST(SourceFileTest, ReadsNoMoreThanTheLengthItHadWhenOpened) {
  test::ScratchDir dir;
  test::WriteBytes(dir / "log.pas", "begin");
  SourceFile source(dir / "log.pas");
  test::WriteBytes(dir / "log.pas", "begin end; and much more written meanwhile");
  EXPECT_EQ(source.Size(), 5u);
  EXPECT_EQ(ReadWhole(source, 1000), "begin");
}

TEST(SourceFileTest, MissingFilesAndDirectoriesCannotBeOpened) {
  test::ScratchDir dir;
  EXPECT_THROW(SourceFile(dir / "missing.pas"), platform::FileError);
  EXPECT_THROW(SourceFile(dir.Path()), platform::FileError);
}

} // namespace
} // namespace lexiform
