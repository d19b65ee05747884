#include "input/photon_parser.h"

#include <cmath>

#include "state/photon_list.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

// How much of a refused text the error message shows.
constexpr std::size_t kQuoteLimit = 32;

// The refused text made safe to print: control and non-ASCII bytes as \xNN,
// cut after kQuoteLimit bytes.
std::string printable(std::string_view text) {
  std::string shown;
  for (std::size_t i = 0; i < text.size() && i < kQuoteLimit; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte > 0x20 && byte < 0x7f) {
      shown.push_back(static_cast<char>(byte));
    } else {
      shown += format_text("\\x%02X", static_cast<unsigned>(byte));
    }
  }
  if (text.size() > kQuoteLimit) shown += "...";
  return shown;
}

}  // namespace

PhotonParser::PhotonParser(PhotonList& photons, int capacity)
    : photons_(photons), builder_(photons), capacity_(capacity) {}

std::vector<std::string> PhotonParser::take_warnings() {
  std::vector<std::string> taken;
  taken.swap(warnings_);
  return taken;
}

void PhotonParser::feed(std::string_view block) {
  const char* p = block.data();
  const char* const end = p + block.size();
  while (p < end) {
    switch (state_) {
      case State::kDone:
        return;
      case State::kQuoting:
        p = collect_quote(p, end);
        break;
      case State::kBetween: {
        while (p < end && is_scan_space(*p)) ++p;
        if (p == end) return;
        const char* const start = p;
        scanner_.reset();
        p = scanner_.consume(p, end);
        if (p < end) {
          take_number(std::string_view(start, static_cast<std::size_t>(p - start)));
        } else {
          pending_.assign(start, end);
          state_ = State::kInNumber;
        }
        break;
      }
      case State::kInNumber: {
        const char* const start = p;
        p = scanner_.consume(p, end);
        pending_.append(start, p);
        if (p < end) {
          state_ = State::kBetween;
          take_number(pending_);
        }
        break;
      }
    }
  }
}

void PhotonParser::finish() {
  if (state_ == State::kInNumber) {
    state_ = State::kBetween;
    take_number(pending_);
  }
  if (state_ == State::kQuoting) {
    refuse_quoted();
  } else if (state_ == State::kBetween) {
    end_of_input();
  }
}

void PhotonParser::take_number(std::string_view text) {
  if (!scanner_.complete()) {
    if (position_ == 0) {
      // A text that is not a number where a record would begin ends the data.
      state_ = State::kDone;
      return;
    }
    quote_.assign(text.substr(0, kQuoteLimit + 1));
    state_ = State::kQuoting;
    return;
  }
  // Only the end marker, the time and the type code carry data; the other
  // positions need no conversion, only a valid number.
  if (position_ == 0 || position_ == 2 || position_ == 3) {
    const float value = convert_float(text, scanner_.decimal(), scratch_);
    if (position_ == 0) {
      if (value == kEndMarker) {
        state_ = State::kDone;
        return;
      }
      ++record_;
    }
    values_[static_cast<std::size_t>(position_)] = value;
  }
  if (++position_ == kRecordLength) {
    position_ = 0;
    store_record();
  }
}

void PhotonParser::end_of_input() {
  if (position_ == 0) {
    state_ = State::kDone;
    return;
  }
  fail(PhotonErrorKind::kIncompleteRecord,
       format_text("Photon record %d is incomplete: the file ends after %d of its %d "
                   "numbers.",
                   record_, position_, kRecordLength),
       record_);
}

const char* PhotonParser::collect_quote(const char* p, const char* end) {
  while (p < end && !is_scan_space(*p) && quote_.size() <= kQuoteLimit) quote_.push_back(*p++);
  if (p < end || quote_.size() > kQuoteLimit) refuse_quoted();
  return p;
}

void PhotonParser::refuse_quoted() {
  fail(PhotonErrorKind::kNotANumber,
       format_text("Photon record %d: number %d of %d is not a number (found '%s').", record_,
                   position_ + 1, kRecordLength, printable(quote_).c_str()),
       record_);
}

void PhotonParser::store_record() {
  const float code = values_[3];
  float t = values_[2];
  if (!std::isfinite(code)) {
    fail(PhotonErrorKind::kNotFinite,
         format_text("Photon record %d: type code is not a finite number (%f).", record_,
                     static_cast<double>(code)),
         record_);
    return;
  }
  const bool donor = code == 0.0f || code == 2.0f;
  const bool acceptor = code == 4.0f || code == 6.0f;
  if (!donor && !acceptor) {
    fail(PhotonErrorKind::kUnknownType,
         format_text("Unknown photon type (%f)", static_cast<double>(code)), record_);
    return;
  }
  if (!std::isfinite(t)) {
    fail(PhotonErrorKind::kNotFinite,
         format_text("Photon record %d: arrival time is not a finite number (%f).", record_,
                     static_cast<double>(t)),
         record_);
    return;
  }
  const PhotonListBuilder::Outcome outcome = builder_.add(t, acceptor);
  if (outcome == PhotonListBuilder::Outcome::kNotSorted) {
    fail(PhotonErrorKind::kNotSorted,
         format_text("photon times not sorted (t=%f). Please sort and re-run.",
                     static_cast<double>(t)),
         record_);
    return;
  }
  if (outcome == PhotonListBuilder::Outcome::kShifted) {
    warnings_.push_back(simultaneous_photons_warning(t));
  }
  // The photon one past the capacity is stored before the run is stopped.
  if (photons_.photon_count > capacity_) {
    fail(PhotonErrorKind::kTooManyPhotons, "Maximum number of photons exceeded", record_);
  }
}

Error PhotonReadError::as_error() const {
  const bool paragraph =
      kind == PhotonErrorKind::kNotSorted || kind == PhotonErrorKind::kTooFewPhotons;
  return Error(ErrorKind::kInput, message,
               paragraph ? ErrorLayout::kParagraph : ErrorLayout::kLine);
}

void PhotonParser::fail(PhotonErrorKind kind, std::string message, int record) {
  error_ = PhotonReadError{kind, std::move(message), record};
  state_ = State::kDone;
}

PhotonParseOutcome parse_photon_text(std::string_view text, PhotonList& photons, int capacity) {
  PhotonParser parser(photons, capacity);
  parser.feed(text);
  parser.finish();
  PhotonParseOutcome outcome;
  outcome.warnings = parser.take_warnings();
  outcome.error = parser.error();
  if (!outcome.error) outcome.error = check_photon_count(photons);
  return outcome;
}

std::optional<PhotonReadError> check_photon_count(const PhotonList& photons) {
  if (photons.photon_count >= 3) return std::nullopt;
  return PhotonReadError{PhotonErrorKind::kTooFewPhotons,
                         format_text("Too few photons (%d).", photons.photon_count), 0};
}

std::string photon_summary(const PhotonList& photons) {
  return format_text("    Read %d photons (%d donor, %d acceptor).\n", photons.photon_count,
                     photons.donor_count, photons.acceptor_count) +
         format_text("    Start time: %f mu s    End time: %f mu s   (Length: %f mu s)\n",
                     photons.start_time, photons.end_time, photons.end_time - photons.start_time);
}

}  // namespace pelmora
