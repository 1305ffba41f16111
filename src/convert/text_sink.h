#pragma once

#include <string>
#include <string_view>

namespace lexiform {

// Where converted text goes: the document being written, or memory.
class TextSink {
public:
  virtual ~TextSink() = default;
  // Takes all of `bytes`; failures are the sink's own exceptions.
  virtual void Write(std::string_view bytes) = 0;

  // `text` followed by CR LF, the line end of every line the program writes.
  void WriteLine(std::string_view text) {
    Write(text);
    Write("\r\n");
  }
};

// A sink that keeps what it is given.
class StringSink : public TextSink {
public:
  void Write(std::string_view bytes) override { text_.append(bytes.data(), bytes.size()); }
  const std::string& Text() const { return text_; }
  std::string Take() { return std::move(text_); }

private:
  std::string text_;
};

} // namespace lexiform
