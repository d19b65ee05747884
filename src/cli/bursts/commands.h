// The commands of pelmora-bursts.  Each takes its arguments (without the
// program and command names), writes its results, reports on `console`
// (the standard error stream; info writes its report to `out`) and throws
// pelmora::Error for whatever ends it.  scan and combine record
// `command_line` (the whole command, quoted for a shell) in their results.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "cli/console.h"

namespace pelmora::bursts_cli {

using CommandArguments = std::span<const std::string_view>;

void run_info(CommandArguments arguments, Console& out, Console& console);
void run_search(CommandArguments arguments, Console& console);
void run_export(CommandArguments arguments, Console& console);
void run_scan(CommandArguments arguments, const std::string& command_line, Console& console);
void run_combine(CommandArguments arguments, const std::string& command_line, Console& console);
// The leakage and direct excitation of an ALEX measurement; the options
// ready to paste go to `out`.  Throws kComputation when neither could be
// estimated.
void run_corrections(CommandArguments arguments, Console& out, Console& console);

// The program: the command named first, or the usage text.  Returns the exit
// status: 0 on success (and for --help and --version), 1 on any error (its
// message printed).
int run_pelmora_bursts(int argc, char** argv);

}  // namespace pelmora::bursts_cli
