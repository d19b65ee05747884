#include "input/photon_reader.h"

#include <cstdio>
#include <memory>

#include "base/error.h"
#include "input/photon_parser.h"
#include "state/run_state.h"

namespace pelmora {

namespace {

// Large enough that a file of a million photons takes a few dozen reads,
// small enough not to matter beside the photon arrays.
constexpr std::size_t kBlockSize = std::size_t{1} << 20;

void print_warnings(RunState& state, PhotonParser& parser) {
  for (const std::string& warning : parser.take_warnings()) state.warn(warning.c_str());
}

[[noreturn]] void refuse_file(const std::string& message) {
  throw Error(ErrorKind::kInput, message);
}

[[noreturn]] void unreadable(const std::string& path) {
  throw Error(ErrorKind::kIo, "\n\nERROR: Could not read from file " + path + "\n");
}

}  // namespace

void read_photon_file(RunState& state, const std::string& path) {
  Console& console = state.console;
  console.print("  Reading photon arrival times from file %s ... ", path.c_str());
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "r"),
                                                             &std::fclose);
  if (!file) unreadable(path);

  PhotonParser parser(state.photons);
  const std::unique_ptr<char[]> block(new char[kBlockSize]);
  // Reading stops at the end of the data: whatever follows the end marker is
  // never read.
  while (parser.wants_input()) {
    const std::size_t length = std::fread(block.get(), 1, kBlockSize, file.get());
    parser.feed(std::string_view(block.get(), length));
    if (length < kBlockSize && parser.wants_input()) {
      // A failed read must not pass for the end of the data: the photons
      // read so far would be analysed as if they were the whole record.
      if (std::ferror(file.get())) {
        print_warnings(state, parser);
        unreadable(path);
      }
      parser.finish();
    }
    print_warnings(state, parser);
  }
  if (parser.error()) refuse_file(parser.error()->message);
  console.write("Done.\n");

  if (const std::optional<PhotonReadError> too_few = check_photon_count(state.photons)) {
    refuse_file(too_few->message);
  }
  console.write(photon_summary(state.photons));
}

}  // namespace pelmora
