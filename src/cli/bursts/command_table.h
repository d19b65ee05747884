// The commands of pelmora-bursts and the options each takes, in one table:
// the parser takes a command's options from it, and its --help text is made
// from it, so that the two cannot disagree.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::bursts_cli {

struct OptionSpec {
  std::string_view name;   // "--bursts", "-q"
  std::string_view value;  // "TABLE.csv"; empty for a flag
  std::string_view help;
  bool repeatable = false;  // may be given more than once (--where)
};

// Options that several commands share, under one heading.
struct OptionGroup {
  std::string_view heading;
  std::span<const OptionSpec> options;
};

struct CommandEntry {
  std::string_view name;      // "scan"
  std::string_view synopsis;  // what follows the command's name in the usage line
  std::string_view summary;   // what it does, a few lines
  std::vector<OptionGroup> groups;
};

// The command of that name; none when there is no such command.
std::optional<CommandEntry> command_entry(std::string_view name);

// The command's --help text: usage, summary and every option with its help.
std::string command_help(const CommandEntry& command);

}  // namespace pelmora::bursts_cli
