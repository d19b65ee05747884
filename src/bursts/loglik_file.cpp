#include "bursts/loglik_file.h"

#include <charconv>
#include <cmath>

#include "base/error.h"
#include "bursts/table_seconds.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

constexpr std::string_view kShareLead = "# pelmora-bursts share ";

std::string share_comment(const ShareHeader& header) {
  return format_text("# pelmora-bursts share %lld/%lld of %lld bursts; settings: %s\n",
                     header.shard.index, header.shard.count, static_cast<long long>(header.bursts),
                     header.settings.c_str());
}

class ShareParser {
 public:
  ShareParser(std::string_view text, std::string_view name) : text_(text), name_(name) {}

  LoglikShare parse() {
    LoglikShare share;
    std::string_view line = next_line();
    parse_comment(line, share.header);
    if (next_line() != kLoglikHeader)
      fail("the header is not \"%s\"", std::string(kLoglikHeader).c_str());
    // A burst's lines follow each other; the first burst's give the
    // coefficients that every burst must have.
    BurstLoglik* burst = nullptr;
    std::size_t coefficient = 0;
    auto close_burst = [&] {
      if (burst == nullptr) return;
      if (share.bursts.size() == 1) share.coefficients.resize(coefficient);
      if (coefficient != share.coefficients.size()) {
        fail("burst %lld has %zu lines, the first burst %zu",
             static_cast<long long>(burst->window.number), coefficient, share.coefficients.size());
      }
    };
    while (!at_end()) {
      line = next_line();
      if (line.empty()) continue;
      const std::vector<std::string_view> fields = split(line);
      if (fields.size() != 6) fail("%zu fields instead of 6", fields.size());
      const std::int64_t label = whole(fields[0], "burst");
      if (burst == nullptr || label != burst->window.number) {
        close_burst();
        share.bursts.emplace_back();
        burst = &share.bursts.back();
        burst->window.number = label;
        burst->window.t_start_s = number(fields[1], "t_start_s");
        burst->window.t_stop_s = number(fields[2], "t_stop_s");
        burst->photons = whole(fields[3], "photons");
        coefficient = 0;
      }
      const double d = number(fields[4], "D_m2_per_s");
      if (share.bursts.size() == 1) {
        share.coefficients.push_back(d);
      } else if (coefficient >= share.coefficients.size() || d != share.coefficients[coefficient]) {
        fail("burst %lld does not have the coefficients of the first burst",
             static_cast<long long>(label));
      }
      // A burst has log L at every coefficient or at none.
      const bool left_out = fields[5].empty();
      if (coefficient > 0 && left_out != burst->log_likelihood.empty()) {
        fail("log_L is empty at some coefficients of burst %lld only",
             static_cast<long long>(label));
      }
      if (!left_out) burst->log_likelihood.push_back(number(fields[5], "log_L"));
      ++coefficient;
    }
    close_burst();
    return share;
  }

 private:
  bool at_end() const { return position_ >= text_.size(); }

  std::string_view next_line() {
    ++line_;
    const std::size_t end = text_.find('\n', position_);
    std::string_view line = text_.substr(
        position_, end == std::string_view::npos ? text_.size() - position_ : end - position_);
    position_ = end == std::string_view::npos ? text_.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
  }

  void parse_comment(std::string_view line, ShareHeader& header) {
    if (line.substr(0, kShareLead.size()) != kShareLead) {
      fail(
          "not a share of a joint scan: the first line must be \"%.*s...\" (written by scan "
          "--shard)",
          static_cast<int>(kShareLead.size()), kShareLead.data());
    }
    line.remove_prefix(kShareLead.size());
    const std::size_t slash = line.find('/');
    const std::size_t of = line.find(" of ");
    const std::size_t bursts = line.find(" bursts; settings: ");
    if (slash == std::string_view::npos || of == std::string_view::npos ||
        bursts == std::string_view::npos || !(slash < of && of < bursts)) {
      fail("the share line is damaged");
    }
    header.shard.index = whole(line.substr(0, slash), "share");
    header.shard.count = whole(line.substr(slash + 1, of - slash - 1), "share count");
    header.bursts = whole(line.substr(of + 4, bursts - of - 4), "burst count");
    header.settings = std::string(line.substr(bursts + 19));
    if (header.shard.index < 1 || header.shard.index > header.shard.count)
      fail("the share is not i/k with 1 <= i <= k");
  }

  static std::vector<std::string_view> split(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
      const std::size_t comma = line.find(',', start);
      fields.push_back(line.substr(
          start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
      if (comma == std::string_view::npos) return fields;
      start = comma + 1;
    }
  }

  std::int64_t whole(std::string_view text, const char* what) const {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
      fail("%s '%.*s' is not a whole number", what, static_cast<int>(text.size()), text.data());
    }
    return value;
  }

  double number(std::string_view text, const char* what) const {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
      fail("%s '%.*s' is not a finite number", what, static_cast<int>(text.size()), text.data());
    }
    return value;
  }

  template <typename... Args>
  [[noreturn]] void fail(const char* format, Args... args) const {
    const std::string reason = format_text(format, args...);
    throw Error(ErrorKind::kInput,
                format_text("Share %.*s, line %d: %s.", static_cast<int>(name_.size()),
                            name_.data(), line_, reason.c_str()));
  }

  std::string_view text_;
  std::string_view name_;
  std::size_t position_ = 0;
  int line_ = 0;
};

[[noreturn]] void refuse(std::string message) {
  throw Error(ErrorKind::kInput, std::move(message));
}

}  // namespace

std::string loglik_text(std::span<const BurstLoglik> bursts, std::span<const double> coefficients,
                        const std::optional<ShareHeader>& share) {
  std::string text;
  text.reserve(64 + bursts.size() * coefficients.size() * 72);
  if (share) text += share_comment(*share);
  text += kLoglikHeader;
  text += '\n';
  char line[160];
  for (const BurstLoglik& burst : bursts) {
    const std::string start = format_table_seconds(burst.window.t_start_s);
    const std::string stop = format_table_seconds(burst.window.t_stop_s);
    for (std::size_t i = 0; i < coefficients.size(); ++i) {
      int length = std::snprintf(
          line, sizeof line, "%lld,%s,%s,%lld,%.10g,", static_cast<long long>(burst.window.number),
          start.c_str(), stop.c_str(), static_cast<long long>(burst.photons), coefficients[i]);
      text.append(line, static_cast<std::size_t>(length));
      if (!burst.log_likelihood.empty()) {
        length = std::snprintf(line, sizeof line, "%.17g", burst.log_likelihood[i]);
        text.append(line, static_cast<std::size_t>(length));
      }
      text += '\n';
    }
  }
  return text;
}

LoglikShare parse_loglik_share(std::string_view text, std::string_view name) {
  return ShareParser(text, name).parse();
}

std::vector<BurstLoglik> combine_shares(std::span<const LoglikShare> shares,
                                        std::span<const std::string> names) {
  if (shares.empty()) refuse("No shares to combine.");
  const LoglikShare& first = shares.front();
  const long long count = first.header.shard.count;
  std::vector<const LoglikShare*> by_index(static_cast<std::size_t>(count), nullptr);
  for (std::size_t s = 0; s < shares.size(); ++s) {
    const LoglikShare& share = shares[s];
    if (share.header.settings != first.header.settings ||
        share.header.bursts != first.header.bursts || share.header.shard.count != count) {
      refuse(
          format_text("Shares %s and %s come from different runs (their settings "
                      "lines differ); combine only the shares of one run.",
                      names[0].c_str(), names[s].c_str()));
    }
    if (share.coefficients != first.coefficients && !share.bursts.empty() &&
        !first.bursts.empty()) {
      refuse(format_text("Shares %s and %s hold different coefficients.", names[0].c_str(),
                         names[s].c_str()));
    }
    const LoglikShare*& slot = by_index[static_cast<std::size_t>(share.header.shard.index - 1)];
    if (slot != nullptr) {
      refuse(format_text("Share %lld/%lld is given twice (%s).", share.header.shard.index, count,
                         names[s].c_str()));
    }
    slot = &share;
  }
  for (long long i = 0; i < count; ++i) {
    if (by_index[static_cast<std::size_t>(i)] == nullptr) {
      refuse(format_text("Share %lld/%lld is missing; all %lld shares are needed.", i + 1, count,
                         count));
    }
  }
  const std::size_t total = static_cast<std::size_t>(first.header.bursts);
  std::vector<BurstLoglik> bursts;
  bursts.reserve(total);
  for (std::size_t position = 0; position < total; ++position) {
    const LoglikShare& share = *by_index[position % static_cast<std::size_t>(count)];
    const std::size_t row = position / static_cast<std::size_t>(count);
    if (row >= share.bursts.size()) {
      refuse(
          format_text("Share %lld/%lld holds %zu bursts; of %zu bursts in all it "
                      "should hold more.",
                      share.header.shard.index, count, share.bursts.size(), total));
    }
    bursts.push_back(share.bursts[row]);
  }
  for (const LoglikShare& share : shares) {
    const std::size_t expected = shard_positions(total, share.header.shard).size();
    if (share.bursts.size() != expected) {
      refuse(format_text("Share %lld/%lld holds %zu bursts instead of %zu.",
                         share.header.shard.index, count, share.bursts.size(), expected));
    }
  }
  return bursts;
}

}  // namespace pelmora
