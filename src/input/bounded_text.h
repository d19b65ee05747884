// Text files read line by line within bounds.  A line may hold at most
// max_line_bytes and a file at most max_lines lines; a file that passes a
// bound is refused the moment it does, naming the file and the line, so
// that /dev/zero, an endless pipe or a file without line ends costs one
// line's worth of memory, never the file's.  Any file that can be read from
// is accepted, pipes and process substitutions too: the bounds, not the
// kind of file, keep the reading finite in memory.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora {

struct TextBounds {
  std::size_t max_line_bytes = std::size_t{1} << 20;  // without the line end
  std::size_t max_lines = 1000000;                    // blank and comment lines included
};

class BoundedTextReader {
 public:
  // Opens `path`; kIo "Could not read from file PATH" when it cannot be
  // opened.  `what` names the kind of file in refusals ("Burst table").
  BoundedTextReader(const std::string& path, std::string what, TextBounds bounds);
  // Reads a stream that the caller opened and closes (text in memory, for
  // instance); `name` stands for the file in messages.
  BoundedTextReader(std::FILE* stream, std::string name, std::string what, TextBounds bounds);

  // The next line without its "\n" (a "\r" before it stays), or nothing at
  // the end of the text; a last line without "\n" counts.  The view holds
  // until the next call.  Refuses (kInput) a line longer than
  // max_line_bytes and a line beyond max_lines; kIo when reading fails.
  std::optional<std::string_view> next_line();

  // Lowers or raises the bound on lines once the file's own header has
  // said how many it holds (a share declares its bursts and coefficients).
  void limit_lines(std::size_t max_lines) { bounds_.max_lines = max_lines; }
  // The same for the bytes of a line: a share's first line describes every
  // burst and may be long, its lines of numbers are short.
  void limit_line_bytes(std::size_t max_line_bytes) { bounds_.max_line_bytes = max_line_bytes; }

  // Whether the line next_line() returned last ended with "\n" (a file's
  // last line may not): a reader that must see every byte as it was, to
  // check a checksum or to tell a cut file, asks.
  bool line_ended() const { return line_ended_; }

  // The number of the line next_line() returned last, from 1.
  std::size_t line_number() const { return line_number_; }
  const std::string& name() const { return name_; }

  // Throws kInput "WHAT NAME, line N: REASON" (the current line by default).
  [[noreturn]] void refuse(const std::string& reason) const;
  [[noreturn]] void refuse(std::size_t line, const std::string& reason) const;

 private:
  bool fill();

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> owned_;
  std::FILE* stream_;
  std::string name_;
  std::string what_;
  TextBounds bounds_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // unread bytes of buffer_: [begin_, end_)
  std::size_t end_ = 0;
  std::string line_;
  std::size_t line_number_ = 0;
  bool line_ended_ = false;
};

}  // namespace pelmora
