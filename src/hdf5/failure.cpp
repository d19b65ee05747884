#include "hdf5/failure.h"

#include "base/error.h"

namespace pelmora::hdf5 {

void refuse_contents(const std::string& text) {
  throw Error(ErrorKind::kInput, text);
}

void refuse_access(const std::string& text) {
  throw Error(ErrorKind::kIo, text);
}

void refuse_missing(const std::string& file, const std::string& object_path, const char* what) {
  refuse_contents("File " + file + " has no " + what + " " + object_path + ".");
}

void refuse_mistyped(const std::string& file, const std::string& object_path,
                     const std::string& expected) {
  refuse_contents(object_path + " in file " + file + " is not " + expected + ".");
}

void refuse_unreadable(const std::string& file, const std::string& object_path) {
  refuse_contents("Could not read " + object_path + " from file " + file +
                  ": the file is damaged or truncated.");
}

void refuse_unwritable(const std::string& file, const std::string& object_path) {
  refuse_access("Could not write " + object_path + " to file " + file + ".");
}

}  // namespace pelmora::hdf5
