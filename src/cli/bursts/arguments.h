// The arguments of one pelmora-bursts command: options with a value
// ("--bursts FILE", "-Dmin 0.1"), flags ("-q") and names, checked against
// the options the command takes (command_table.h).
#pragma once

#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/bursts/command_table.h"

namespace pelmora::bursts_cli {

class Arguments {
 public:
  // Takes the options of `command` (command_table.h).  Throws kOption for an
  // option the command does not take, a value that is missing, and an option
  // given twice that is not repeatable.
  Arguments(const CommandEntry& command, std::span<const std::string_view> arguments);

  const std::vector<std::string>& names() const { return names_; }
  bool flag(std::string_view name) const { return flags_.count(name) > 0; }
  std::optional<std::string> text(std::string_view name) const;
  bool given(std::string_view name) const { return values_.count(std::string(name)) > 0; }
  // Every value of a repeatable option, in the order given.
  std::vector<std::string> all(std::string_view name) const;

  // Values checked as they are taken; kOption errors name the option.
  double real(std::string_view name, double fallback) const;
  long long whole(std::string_view name, long long fallback) const;

  // The options as pelmora itself takes them ("-R", "-min", "-max", "-d",
  // "-Dmin", "-Dmax", "-n"), in the order given, for its own interpretation.
  std::vector<std::string> pelmora_options(std::span<const std::string_view> names) const;

  std::string_view command() const { return command_; }
  // The arguments as given, for the record of the command that ran.
  const std::vector<std::string_view>& given_words() const { return words_; }

 private:
  std::string command_;
  std::vector<std::string_view> words_;
  std::vector<std::string> names_;
  std::map<std::string, std::string, std::less<>> values_;
  std::map<std::string, std::vector<std::string>, std::less<>> repeated_;
  std::set<std::string, std::less<>> flags_;
  std::vector<std::string> order_;
};

}  // namespace pelmora::bursts_cli
