#include "bursts/background_choice.h"

#include <charconv>
#include <cmath>

#include "base/error.h"
#include "engine/background_colours.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

bool read_rate(std::string_view word, double& value) {
  const char* end = word.data() + word.size();
  const auto [stop, error] = std::from_chars(word.data(), end, value);
  return !word.empty() && error == std::errc() && stop == end && std::isfinite(value) && value >= 0;
}

}  // namespace

std::string BackgroundChoice::text() const {
  switch (mode) {
    case Mode::kOff:
      return "off";
    case Mode::kAuto:
      return "auto";
    case Mode::kRates:
      break;
  }
  return format_text("%.17g,%.17g", donor_hz, acceptor_hz);
}

BackgroundChoice parse_background_choice(const std::string& text) {
  BackgroundChoice choice;
  if (text == "off") return choice;
  if (text == "auto") {
    choice.mode = BackgroundChoice::Mode::kAuto;
    return choice;
  }
  const std::size_t comma = text.find(',');
  const std::string_view whole(text);
  if (comma != std::string::npos && read_rate(whole.substr(0, comma), choice.donor_hz) &&
      read_rate(whole.substr(comma + 1), choice.acceptor_hz)) {
    choice.mode = BackgroundChoice::Mode::kRates;
    return choice;
  }
  throw Error(ErrorKind::kInput,
              "Background " + text +
                  ": off, auto, or the donor and the acceptor channel's rates in Hz "
                  "(D_HZ,A_HZ, each >= 0).");
}

BackgroundShares rate_shares(const BackgroundChoice& choice, double span_s, int photons) {
  return background_shares(choice.donor_hz * span_s, choice.acceptor_hz * span_s, photons);
}

}  // namespace pelmora
