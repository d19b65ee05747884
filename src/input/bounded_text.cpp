#include "input/bounded_text.h"

#include <cstring>

#include "base/error.h"

namespace pelmora {

namespace {

constexpr std::size_t kBlockBytes = std::size_t{1} << 16;

}  // namespace

BoundedTextReader::BoundedTextReader(const std::string& path, std::string what, TextBounds bounds)
    : owned_(std::fopen(path.c_str(), "rb"), &std::fclose),
      stream_(owned_.get()),
      name_(path),
      what_(std::move(what)),
      bounds_(bounds),
      buffer_(kBlockBytes) {
  if (stream_ == nullptr) throw Error(ErrorKind::kIo, "Could not read from file " + path);
}

BoundedTextReader::BoundedTextReader(std::FILE* stream, std::string name, std::string what,
                                     TextBounds bounds)
    : owned_(nullptr, &std::fclose),
      stream_(stream),
      name_(std::move(name)),
      what_(std::move(what)),
      bounds_(bounds),
      buffer_(kBlockBytes) {}

bool BoundedTextReader::fill() {
  begin_ = 0;
  end_ = std::fread(buffer_.data(), 1, buffer_.size(), stream_);
  if (end_ > 0) return true;
  if (std::ferror(stream_) != 0) throw Error(ErrorKind::kIo, "Could not read from file " + name_);
  return false;
}

std::optional<std::string_view> BoundedTextReader::next_line() {
  line_.clear();
  if (begin_ == end_ && !fill()) return std::nullopt;
  ++line_number_;
  if (line_number_ > bounds_.max_lines) {
    refuse("the file goes on beyond " + std::to_string(bounds_.max_lines) +
           " lines, more than such a file may hold.");
  }
  while (true) {
    const char* const start = buffer_.data() + begin_;
    const std::size_t available = end_ - begin_;
    const auto* newline = static_cast<const char*>(std::memchr(start, '\n', available));
    const std::size_t taken =
        newline != nullptr ? static_cast<std::size_t>(newline - start) : available;
    if (line_.size() + taken > bounds_.max_line_bytes) {
      refuse("the line is longer than " + std::to_string(bounds_.max_line_bytes) +
             " bytes, more than such a file may hold.");
    }
    line_.append(start, taken);
    begin_ += taken;
    if (newline != nullptr) {
      ++begin_;
      line_ended_ = true;
      return std::string_view(line_);
    }
    if (!fill()) {
      line_ended_ = false;
      return std::string_view(line_);
    }
  }
}

void BoundedTextReader::refuse(const std::string& reason) const {
  refuse(line_number_, reason);
}

void BoundedTextReader::refuse(std::size_t line, const std::string& reason) const {
  throw Error(ErrorKind::kInput,
              what_ + " " + name_ + ", line " + std::to_string(line) + ": " + reason);
}

}  // namespace pelmora
