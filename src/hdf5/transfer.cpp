#include "hdf5/transfer.h"

namespace pelmora::hdf5 {

namespace {

H5T_conv_ret_t abort_on_overflow(H5T_conv_except_t exception, hid_t, hid_t, void*, void*,
                                 void* overflowed) {
  if (exception == H5T_CONV_EXCEPT_RANGE_HI || exception == H5T_CONV_EXCEPT_RANGE_LOW) {
    *static_cast<bool*>(overflowed) = true;
    return H5T_CONV_ABORT;
  }
  return H5T_CONV_UNHANDLED;
}

}  // namespace

PropertyListHandle transfer_refusing_overflow(bool* overflowed) {
  PropertyListHandle transfer(H5Pcreate(H5P_DATASET_XFER));
  if (transfer.valid() && H5Pset_type_conv_cb(transfer.get(), &abort_on_overflow, overflowed) < 0) {
    transfer.reset();
  }
  return transfer;
}

}  // namespace pelmora::hdf5
