// The Errors the wrapper throws.  Each names the file and the object at
// fault in words a user of the program can act on; none repeats HDF5's own
// error stack, which speaks of library internals.
#pragma once

#include <string>

namespace pelmora::hdf5 {

// The text as kInput: the file's contents are at fault.
[[noreturn]] void refuse_contents(const std::string& text);

// The same as kIo: the file could not be opened, read or written at all.
[[noreturn]] void refuse_access(const std::string& text);

// "File F has no dataset /a/b."
[[noreturn]] void refuse_missing(const std::string& file, const std::string& object_path,
                                 const char* what = "dataset");

// "/a/b in file F is not <expected>."
[[noreturn]] void refuse_mistyped(const std::string& file, const std::string& object_path,
                                  const std::string& expected);

// A read that HDF5 refused half-way: damaged or cut-off data.
[[noreturn]] void refuse_unreadable(const std::string& file, const std::string& object_path);

// A write or file creation that failed.
[[noreturn]] void refuse_unwritable(const std::string& file, const std::string& object_path);

}  // namespace pelmora::hdf5
