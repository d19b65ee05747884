#include "hdf5/quiet_errors.h"

#include "hdf5/handle.h"

namespace pelmora::hdf5 {

QuietErrors::QuietErrors() {
  // Nothing to restore when the current setting cannot be read (a caller
  // that installed an old-style handler): printing then stays as it was.
  if (H5Eget_auto2(H5E_DEFAULT, &saved_function_, &saved_data_) >= 0) {
    saved_ = H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr) >= 0;
  }
}

QuietErrors::~QuietErrors() {
  if (saved_) H5Eset_auto2(H5E_DEFAULT, saved_function_, saved_data_);
}

herr_t close_quietly(herr_t (*close)(hid_t), hid_t id) {
  const QuietErrors quiet;
  return close(id);
}

}  // namespace pelmora::hdf5
