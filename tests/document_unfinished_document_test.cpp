// The unfinished document cuts a failed section off wherever its bytes are: still in the
// buffer, or already written to the file.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "document/unfinished_document.h"
#include "test_support.h"

namespace lexiform {
namespace {

// A section whose body fails after `written` bytes, cut back as the entry's guard does,
// between two good ones: the document holds the good ones alone.
TEST(UnfinishedDocumentTest, FailedSectionLeavesNoTraceWhereverItStood) {
  test::ScratchDir dir;
  const std::string line(99, 'x');
  // Within the buffer, past the first flush of 1 MiB, past several.
  for (const std::size_t written :
       {std::size_t{1000}, std::size_t{1500} << 10, std::size_t{5} << 20}) {
    const std::string out = dir / "out.html";
    {
      UnfinishedDocument document(out);
      document.Write("<good 1>\r\n");
      const std::uint64_t sectionStart = document.Length();
      try {
        document.Write("<failed>\r\n");
        for (std::size_t done = 0; done < written; done += line.size() + 2) {
          document.Write(line);
          document.Write("\r\n");
        }
        throw std::runtime_error("the source failed");
      } catch (const std::runtime_error&) {
        document.CutBackTo(sectionStart);
      }
      document.Write("<good 2>\r\n");
      document.Commit();
    }
    EXPECT_EQ(test::ReadBytes(out), "<good 1>\r\n<good 2>\r\n") << written;
  }
}

} // namespace
} // namespace lexiform
