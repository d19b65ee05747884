// The per-burst log L of a joint scan as a CSV file, one line per burst and
// coefficient:
//
//   burst,t_start_s,t_stop_s,photons,D_m2_per_s,log_L
//   0,12.000345000,12.002117125,70,1e-16,-41.623412308470925
//
// log_L is printed with 17 significant digits, so that it reads back as the
// same double; it is empty for a burst left out of the joint sum.  A share
// of the bursts (--shard i/k) starts with one comment line that names the
// share and the settings it was computed with:
//
//   # pelmora-bursts share 2/4 of 300 bursts; settings: ...
//
// Combining the shares puts the lines back in burst order and gives, byte for
// byte, the file of the run that analysed every burst at once.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bursts/burst.h"
#include "bursts/shard.h"

namespace pelmora {

inline constexpr std::string_view kLoglikHeader =
    "burst,t_start_s,t_stop_s,photons,D_m2_per_s,log_L";

// The lines of one burst: one per coefficient.
struct BurstLoglik {
  BurstWindow window;
  std::int64_t photons = 0;  // analysed photons
  // Per coefficient; empty when the burst is left out of the joint sum.
  std::vector<double> log_likelihood;
};

struct ShareHeader {
  Shard shard;
  std::int64_t bursts = 0;  // in the whole table, all shares together
  std::string settings;     // everything the values depend on, as one line
};

// The file's text: the share's comment line when there is one, the header,
// and the lines of `bursts` in order.
std::string loglik_text(std::span<const BurstLoglik> bursts, std::span<const double> coefficients,
                        const std::optional<ShareHeader>& share);

struct LoglikShare {
  ShareHeader header;
  std::vector<BurstLoglik> bursts;
  std::vector<double> coefficients;  // as the lines give them ("%.10g")
};

// A share's text, as loglik_text wrote it.  `name` is the file as the user
// named it, for the messages ("Share s.csv, line 7: ...", kInput).
LoglikShare parse_loglik_share(std::string_view text, std::string_view name);

// The bursts of all shares in burst order.  Refuses (kInput) shares of
// different settings or share counts, a share given twice or missing, and
// shares whose bursts do not add up to the table's.
std::vector<BurstLoglik> combine_shares(std::span<const LoglikShare> shares,
                                        std::span<const std::string> names);

}  // namespace pelmora
