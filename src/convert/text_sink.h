#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace lexiform {

// Where converted text goes: the document being written, or memory.
class TextSink {
public:
  virtual ~TextSink() = default;
  // Takes all of `bytes`; failures are the sink's own exceptions.
  virtual void Write(std::string_view bytes) = 0;

  // `text` followed by CR LF, the line end of every line the program writes. A sink that
  // works line by line may take the line whole instead.
  virtual void WriteLine(std::string_view text) {
    Write(text);
    Write("\r\n");
  }
};

// A sink that keeps what it is given.
class StringSink : public TextSink {
public:
  StringSink() = default;
  // Writes into `storage`, emptied first but keeping its capacity: a buffer used again
  // costs no new memory.
  explicit StringSink(std::string storage) : text_(std::move(storage)) { text_.clear(); }

  void Write(std::string_view bytes) override { text_.append(bytes.data(), bytes.size()); }
  const std::string& Text() const { return text_; }
  std::string Take() { return std::move(text_); }

private:
  std::string text_;
};

} // namespace lexiform
