// Names that must not meet: a command refuses, before it reads or computes
// anything, to write a result over one of its inputs or two results to one
// file (where the second would replace the first).  Names are compared
// where they lead, through symbolic links (dangling ones and chains of them
// too), as a result file written under them would be.  Every command of
// both programs lists what it reads and writes here, so that the rule is
// kept in one place.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace pelmora {

// A file a command reads, and what it is to the user ("measurement",
// "burst table", "share"), for the message.
struct InputFile {
  std::string name;
  std::string role;
};

// A file a command writes, and the option that names it ("-o", "--grid").
struct OutputFile {
  std::string name;
  std::string role;
};

// Whether two names lead to the same file, existing or not.  A name that
// cannot be resolved matches nothing (its write then fails on its own).
bool same_file(const std::string& a, const std::string& b);

using SameFile = std::function<bool(const std::string&, const std::string&)>;

// The first clash found, output after output: with an input, else with an
// earlier output.  Indices into the lists given.
struct FileClash {
  std::size_t output = 0;
  std::optional<std::size_t> input;           // the output is this input
  std::optional<std::size_t> earlier_output;  // or this earlier output
};

std::optional<FileClash> find_file_clash(std::span<const InputFile> inputs,
                                         std::span<const OutputFile> outputs,
                                         const SameFile& same = same_file);

// The sentence for a clash, naming both files as given and their roles:
//   Output file X (--grid) is the input file Y (measurement); choose another name.
//   Two results would be written to one file: X (--loglik) and Y (-o); choose a name for each.
std::string file_clash_message(const FileClash& clash, std::span<const InputFile> inputs,
                               std::span<const OutputFile> outputs);

// Throws Error (kOption) with file_clash_message for the first clash.
void refuse_file_clashes(std::span<const InputFile> inputs, std::span<const OutputFile> outputs);

}  // namespace pelmora
