// The one error type of the library.  Whatever cannot be done is reported by
// throwing an Error that carries the exact text the command line prints for
// it (for example "\n\nERROR: Could not write to file out.dat\n") and a kind
// that tells a caller what went wrong without parsing the text.  Nothing
// below the command line ends the process or prints an error itself.
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

class Error : public std::runtime_error {
 public:
  Error(ErrorKind kind, std::string message)
      : std::runtime_error(message), kind_(kind), message_(std::move(message)) {}

  ErrorKind kind() const { return kind_; }
  // The text exactly as the command line prints it, line breaks included.
  const std::string& message() const { return message_; }
  // The message without the leading line breaks, the "ERROR: " tag and the
  // trailing line breaks, for callers that show it in their own frame.
  std::string_view plain_message() const;

 private:
  ErrorKind kind_;
  std::string message_;
};

// The text of an allocation failure, thrown as kMemory.
[[noreturn]] void throw_allocation_failure(std::string_view where);

}  // namespace pelmora
