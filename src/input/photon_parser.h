// The photon file's text turned into the PhotonList, without printing or
// ending the process: the warnings and the error that the reader prints are
// returned as values.  The parser is fed the file in blocks of any size, so
// that a file is streamed rather than held whole, and the same code serves
// tests and fuzzing on buffers in memory.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "input/float_scanner.h"
#include "state/photon_list.h"

namespace pelmora {

// The most photons a file may hold.
inline constexpr int kPhotonCapacity = 1000000;

// The first number of a record that ends the data.
inline constexpr float kEndMarker = -99999.0f;
inline constexpr int kRecordLength = 8;

enum class PhotonErrorKind {
  kNotSorted,
  kUnknownType,
  kTooManyPhotons,
  kTooFewPhotons,     // found after the data have been read
  kIncompleteRecord,  // the file ends inside a record
  kNotANumber,        // in positions 2 to 8 of a record
  kNotFinite,         // arrival time or type code is inf or nan
};

struct PhotonReadError {
  PhotonErrorKind kind;
  std::string message;  // the plain sentence
  int record = 0;       // 1-based number of the record at fault; 0 for the count check

  // As thrown (kInput); unsorted times and too few photons are set apart as
  // a paragraph on the console.
  Error as_error() const;
};

class PhotonParser {
 public:
  // Empties `photons` and fills it as records arrive; `photons` must outlive
  // the parser.  The program always uses the full capacity; a small one lets
  // tests and the fuzzer reach the capacity check with small inputs.
  explicit PhotonParser(PhotonList& photons, int capacity = kPhotonCapacity);

  // Takes the next block of the file.  Blocks may split a number anywhere.
  void feed(std::string_view block);

  // The file has ended.
  void finish();

  // False once the data have ended (end marker, end of file, a non-number
  // in a record's first position) or an error has been found.
  bool wants_input() const { return state_ != State::kDone; }

  const std::optional<PhotonReadError>& error() const { return error_; }

  // The warnings produced since the last call, in order.
  std::vector<std::string> take_warnings();

 private:
  enum class State {
    kBetween,   // before the next number, possibly inside white space
    kInNumber,  // a number continues into the next block
    kQuoting,   // collecting the rest of a refused text for the message
    kDone,
  };

  void take_number(std::string_view text);
  void end_of_input();
  const char* collect_quote(const char* p, const char* end);
  void refuse_quoted();
  void store_record();
  void fail(PhotonErrorKind kind, std::string message, int record);

  PhotonList& photons_;
  PhotonListBuilder builder_;
  int capacity_;
  State state_ = State::kBetween;
  FloatScanner scanner_;
  std::string pending_;  // a number split across blocks
  std::string scratch_;  // conversion buffer
  std::string quote_;    // the refused text
  int position_ = 0;     // 0-based position in the current record
  int record_ = 0;       // 1-based number of the current record
  std::array<float, kRecordLength> values_{};
  std::vector<std::string> warnings_;
  std::optional<PhotonReadError> error_;
};

struct PhotonParseOutcome {
  std::vector<std::string> warnings;     // in order
  std::optional<PhotonReadError> error;  // comes after every warning
};

// Parses a whole text, including the closing count check.
PhotonParseOutcome parse_photon_text(std::string_view text, PhotonList& photons,
                                     int capacity = kPhotonCapacity);

// The check made once the data have been read: at least three photons.
std::optional<PhotonReadError> check_photon_count(const PhotonList& photons);

// The two summary lines printed after a successful read.
std::string photon_summary(const PhotonList& photons);

}  // namespace pelmora
