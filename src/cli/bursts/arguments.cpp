#include "cli/bursts/arguments.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "base/error.h"
#include "state/text_format.h"

namespace pelmora::bursts_cli {

namespace {

[[noreturn]] void refuse(std::string message) {
  throw Error(ErrorKind::kOption, std::move(message));
}

bool looks_like_option(std::string_view argument) {
  // "-5" and "-.5" are values (a negative distance), not options.
  return argument.size() > 1 && argument[0] == '-' &&
         !(std::isdigit(static_cast<unsigned char>(argument[1])) || argument[1] == '.');
}

}  // namespace

Arguments::Arguments(const CommandEntry& command, std::span<const std::string_view> arguments)
    : command_(command.name), words_(arguments.begin(), arguments.end()) {
  std::set<std::string, std::less<>> with_value;
  std::set<std::string, std::less<>> flags;
  std::set<std::string, std::less<>> repeatable;
  for (const OptionGroup& group : command.groups) {
    for (const OptionSpec& option : group.options) {
      (option.value.empty() ? flags : with_value).insert(std::string(option.name));
      if (option.repeatable) repeatable.insert(std::string(option.name));
    }
  }
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (!looks_like_option(argument)) {
      names_.emplace_back(argument);
      continue;
    }
    const std::string name(argument);
    if (flags.count(name) > 0) {
      flags_.insert(name);
      continue;
    }
    if (with_value.count(name) == 0) {
      refuse(
          format_text("pelmora-bursts %s takes no option %s (see pelmora-bursts "
                      "%s --help).",
                      command_.c_str(), name.c_str(), command_.c_str()));
    }
    if (i + 1 >= arguments.size()) {
      refuse(format_text("Option %s needs a value.", name.c_str()));
    }
    if (values_.count(name) > 0 && repeatable.count(name) == 0) {
      refuse(format_text("Option %s is given twice.", name.c_str()));
    }
    values_[name] = std::string(arguments[++i]);
    repeated_[name].push_back(values_[name]);
    order_.push_back(name);
  }
}

std::optional<std::string> Arguments::text(std::string_view name) const {
  const auto found = values_.find(name);
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

std::vector<std::string> Arguments::all(std::string_view name) const {
  const auto found = repeated_.find(name);
  return found == repeated_.end() ? std::vector<std::string>{} : found->second;
}

double Arguments::real(std::string_view name, double fallback) const {
  const std::optional<std::string> value = text(name);
  if (!value) return fallback;
  double number = 0;
  const char* end = value->data() + value->size();
  const auto [stop, error] = std::from_chars(value->data(), end, number);
  if (error != std::errc() || stop != end || !std::isfinite(number)) {
    refuse(format_text("Option %.*s takes a finite number (it is '%s').",
                       static_cast<int>(name.size()), name.data(), value->c_str()));
  }
  return number;
}

long long Arguments::whole(std::string_view name, long long fallback) const {
  const std::optional<std::string> value = text(name);
  if (!value) return fallback;
  long long number = 0;
  const char* end = value->data() + value->size();
  const auto [stop, error] = std::from_chars(value->data(), end, number);
  if (error != std::errc() || stop != end) {
    refuse(format_text("Option %.*s takes a whole number (it is '%s').",
                       static_cast<int>(name.size()), name.data(), value->c_str()));
  }
  return number;
}

std::vector<std::string> Arguments::pelmora_options(std::span<const std::string_view> names) const {
  std::vector<std::string> words;
  for (const std::string& name : order_) {
    for (const std::string_view wanted : names) {
      if (name == wanted) {
        words.push_back(name);
        words.push_back(values_.at(name));
      }
    }
  }
  return words;
}

}  // namespace pelmora::bursts_cli
