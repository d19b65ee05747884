#include "bursts/burst_export.h"

#include <charconv>
#include <utility>

#include "output/result_file.h"

namespace pelmora {

namespace {

// The type codes of the photon file.
constexpr int kDonorCode = 0;
constexpr int kAcceptorCode = 4;

}  // namespace

std::string burst_photon_text(const BurstPhotons& photons) {
  std::string text;
  text.reserve(photons.times_us.size() * 32 + 32);
  char line[96];
  for (std::size_t i = 0; i < photons.times_us.size(); ++i) {
    char* p = std::to_chars(line, line + 24, static_cast<unsigned long long>(i + 1)).ptr;
    *p++ = ' ';
    *p++ = '0';
    *p++ = ' ';
    // Shortest round trip of the float itself: any correctly rounding float
    // reader, the photon parser's included, recovers it exactly.
    p = std::to_chars(p, line + sizeof line, static_cast<float>(photons.times_us[i])).ptr;
    const int code = photons.acceptor[i] != 0 ? kAcceptorCode : kDonorCode;
    *p++ = ' ';
    *p++ = static_cast<char>('0' + code);
    text.append(line, p);
    text.append(" 0 0 0 0\n");
  }
  text.append("-99999 0 0 0 0 0 0 0\n");
  return text;
}

void write_burst_photon_file(const std::string& path, const BurstPhotons& photons,
                             StopRequest stop) {
  ResultFile file(path, std::move(stop));
  file.text(burst_photon_text(photons));
  file.close();
}

}  // namespace pelmora
