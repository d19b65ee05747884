// What the fuzz harnesses check and how they report it.
#pragma once

#include <sstream>
#include <string>

namespace pelmora::fuzzing {

// Collects the broken invariants of one input, one line each.
class Findings {
 public:
  void check(bool holds, const char* what) {
    if (!holds) out_ << what << '\n';
  }
  std::string text() const { return out_.str(); }

 private:
  std::ostringstream out_;
};

// The library's messages are sentences the front ends frame: text, with no
// line break around it.
inline bool is_sentence(const std::string& text) {
  return !text.empty() && text.front() != '\n' && text.back() != '\n';
}

// Printable ASCII only: what a message quotes from a file is made safe.
inline bool is_printable(const std::string& text) {
  for (const char c : text) {
    if (c < 0x20 || c > 0x7e) return false;
  }
  return true;
}

}  // namespace pelmora::fuzzing
