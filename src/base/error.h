// The one error type of the library.  Whatever cannot be done is reported by
// throwing an Error that carries a plain sentence saying what went wrong (for
// example "Could not write to file out.dat") and a kind that tells a caller
// what went wrong without parsing the text.  Nothing below the command line
// ends the process or prints an error itself; the command lines put the
// sentence in their console frame, the Python package raises it as it is.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace pelmora {

enum class ErrorKind {
  kOption,       // a command-line option or argument was refused
  kInput,        // invalid input data or arguments (photons, settings, files' contents)
  kIo,           // a file could not be opened, read or written
  kMemory,       // memory or another resource (a thread) could not be had
  kComputation,  // the analysis could not produce a result for valid input
  kCancelled,    // the caller asked the work to stop
};

// How a console sets the sentence apart: on its own line, or as a paragraph
// with a blank line after it (the photon file's historic messages).
enum class ErrorLayout { kLine, kParagraph };

class Error : public std::runtime_error {
 public:
  Error(ErrorKind kind, std::string message, ErrorLayout layout = ErrorLayout::kLine)
      : std::runtime_error(message), kind_(kind), layout_(layout), message_(std::move(message)) {}

  ErrorKind kind() const { return kind_; }
  ErrorLayout layout() const { return layout_; }
  // The plain sentence, without line breaks around it.
  const std::string& message() const { return message_; }

 private:
  ErrorKind kind_;
  ErrorLayout layout_;
  std::string message_;
};

// The text of an allocation failure, thrown as kMemory.
[[noreturn]] void throw_allocation_failure(std::string_view where);

}  // namespace pelmora
