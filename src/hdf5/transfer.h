// The transfer property list of every read and write: HDF5 clips an integer
// that does not fit its destination type, silently, unless a conversion
// handler says otherwise.  This one makes the transfer fail instead, and
// sets *overflowed so that the caller can say why.
#pragma once

#include "hdf5/handle.h"

namespace pelmora::hdf5 {

// An invalid handle when HDF5 could not create the list.
PropertyListHandle transfer_refusing_overflow(bool* overflowed);

}  // namespace pelmora::hdf5
