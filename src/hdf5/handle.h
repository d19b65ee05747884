// Owners of HDF5 identifiers: each closes its identifier when it goes out of
// scope, so that no early return or thrown Error leaves a file, dataset or
// property list open.
#pragma once

#include <hdf5.h>

#include <utility>

namespace pelmora::hdf5 {

// A failed close cannot be reported from a destructor; where it matters (a
// file that was written) File::close() reports it before the destructor runs.
// The closers silence HDF5's own error printing themselves, since a
// destructor may run while no wrapper call has it silenced.
herr_t close_quietly(herr_t (*close)(hid_t), hid_t id);

template <herr_t (*Close)(hid_t)>
class Handle {
 public:
  Handle() = default;
  explicit Handle(hid_t id) : id_(id) {}
  ~Handle() { reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& other) noexcept : id_(std::exchange(other.id_, H5I_INVALID_HID)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      reset();
      id_ = std::exchange(other.id_, H5I_INVALID_HID);
    }
    return *this;
  }

  hid_t get() const { return id_; }
  bool valid() const { return id_ >= 0; }
  // Gives up ownership without closing, for a close whose result is checked.
  hid_t release() { return std::exchange(id_, H5I_INVALID_HID); }
  void reset() {
    if (id_ >= 0) close_quietly(Close, std::exchange(id_, H5I_INVALID_HID));
  }

 private:
  hid_t id_ = H5I_INVALID_HID;
};

using FileHandle = Handle<H5Fclose>;
using GroupHandle = Handle<H5Gclose>;
using DatasetHandle = Handle<H5Dclose>;
using AttributeHandle = Handle<H5Aclose>;
using TypeHandle = Handle<H5Tclose>;
using SpaceHandle = Handle<H5Sclose>;
using PropertyListHandle = Handle<H5Pclose>;
using ObjectHandle = Handle<H5Oclose>;

}  // namespace pelmora::hdf5
