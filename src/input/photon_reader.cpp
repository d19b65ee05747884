#include "input/photon_reader.h"

#include <cstdio>
#include <memory>

#include "base/error.h"
#include "input/photon_parser.h"

namespace pelmora {

namespace {

// Large enough that a file of a million photons takes a few dozen reads,
// small enough not to matter beside the photon arrays.
constexpr std::size_t kBlockSize = std::size_t{1} << 20;

void pass_on_warnings(PhotonParser& parser, Observer& observer) {
  for (std::string& text : parser.take_warnings()) {
    observer.warning({WarningKind::kSimultaneousPhotons, std::move(text), 0.0, 0, 0});
  }
}

[[noreturn]] void unreadable(const std::string& path) {
  throw Error(ErrorKind::kIo, "Could not read from file " + path);
}

}  // namespace

PhotonList read_photon_file(const std::string& path, Observer& observer) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "r"),
                                                             &std::fclose);
  if (!file) unreadable(path);

  PhotonList photons;
  PhotonParser parser(photons);
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
        pass_on_warnings(parser, observer);
        unreadable(path);
      }
      parser.finish();
    }
    pass_on_warnings(parser, observer);
  }
  if (parser.error()) throw parser.error()->as_error();
  return photons;
}

}  // namespace pelmora
