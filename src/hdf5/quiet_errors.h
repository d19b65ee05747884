// HDF5 prints its error stack to stderr whenever a call fails, unless told
// not to.  The library never prints, so every wrapper call that may fail runs
// with the printing switched off, and switches it back to whatever the
// caller had on the way out.  The setting belongs to the calling thread's
// default error stack (the library is built thread-safe), so other threads
// are untouched.
#pragma once

#include <hdf5.h>

namespace pelmora::hdf5 {

class QuietErrors {
 public:
  QuietErrors();
  ~QuietErrors();
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

 private:
  H5E_auto2_t saved_function_ = nullptr;
  void* saved_data_ = nullptr;
  bool saved_ = false;
};

}  // namespace pelmora::hdf5
