// The HDF5 wrapper's promises that the reader tests do not reach: the
// caller's error handler survives every call, no value is clipped on its way
// in or out, and matrices are written row-major.
#include <gtest/gtest.h>
#include <hdf5.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "hdf5/dataset.h"
#include "hdf5/file.h"
#include "hdf5/write.h"
#include "support/caught_error.h"
#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

int handler_calls = 0;

herr_t counting_handler(hid_t, void*) {
  ++handler_calls;
  return 0;
}

TEST(Hdf5Wrapper, KeepsTheCallersErrorHandlerAndNeverCallsIt) {
  H5E_auto2_t saved_function = nullptr;
  void* saved_data = nullptr;
  ASSERT_GE(H5Eget_auto2(H5E_DEFAULT, &saved_function, &saved_data), 0);
  ASSERT_GE(H5Eset_auto2(H5E_DEFAULT, &counting_handler, nullptr), 0);
  handler_calls = 0;

  ScratchDir folder;
  const std::string path = (folder / "w.h5").string();
  {
    hdf5::File file = hdf5::File::create(path);
    hdf5::write_integer(file, "/a/b", 3);
    file.close();
  }
  const hdf5::File file = hdf5::File::open(path);
  EXPECT_EQ(file.type_of("/a/b/c"), hdf5::ObjectType::kMissing);  // through a dataset
  EXPECT_EQ(file.type_of("/a"), hdf5::ObjectType::kGroup);
  EXPECT_TRUE(caught_error([&] { hdf5::read_text(file, "/a/b"); }));
  EXPECT_TRUE(caught_error([&] { hdf5::read_integer(file, "/missing"); }));
  EXPECT_TRUE(caught_error([&] { hdf5::File::open((folder / "none.h5").string()); }));

  H5E_auto2_t function = nullptr;
  void* data = nullptr;
  EXPECT_GE(H5Eget_auto2(H5E_DEFAULT, &function, &data), 0);
  EXPECT_EQ(function, &counting_handler);
  EXPECT_EQ(handler_calls, 0);
  H5Eset_auto2(H5E_DEFAULT, saved_function, saved_data);
}

TEST(Hdf5Wrapper, RefusesValuesThatWouldBeClipped) {
  ScratchDir folder;
  const std::string path = (folder / "w.h5").string();
  hdf5::File file = hdf5::File::create(path);
  const std::vector<std::int64_t> too_large = {1, 300};
  const std::optional<Error> written = caught_error(
      [&] { hdf5::write_integers(file, "/small", too_large, hdf5::IntegerType::kUInt8); });
  ASSERT_TRUE(written);
  EXPECT_EQ(written->message(), "Could not write /small to file " + path +
                                    ": a value does not fit the stored integer type.");

  // uint64 beyond int64, written past the wrapper.
  const hsize_t count = 2;
  const std::uint64_t huge[] = {1, std::numeric_limits<std::uint64_t>::max()};
  const hid_t space = H5Screate_simple(1, &count, nullptr);
  const hid_t dataset =
      H5Dcreate2(file.id(), "/huge", H5T_STD_U64LE, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
  ASSERT_GE(H5Dwrite(dataset, H5T_NATIVE_UINT64, H5S_ALL, H5S_ALL, H5P_DEFAULT, huge), 0);
  H5Dclose(dataset);
  H5Sclose(space);
  const std::optional<Error> read = caught_error([&] { hdf5::read_integers(file, "/huge", 2); });
  ASSERT_TRUE(read);
  EXPECT_EQ(read->message(),
            "/huge in file " + path + " holds values beyond the range of 64-bit integers.");
  EXPECT_EQ(read->kind(), ErrorKind::kInput);
}

TEST(Hdf5Wrapper, WritesMatricesRowMajor) {
  ScratchDir folder;
  const std::string path = (folder / "w.h5").string();
  {
    hdf5::File file = hdf5::File::create(path);
    const std::vector<double> numbers = {1, 2, 3, 4, 5, 6};
    const std::vector<std::int64_t> integers = {-1, 2, -3, 4, -5, 6};
    hdf5::Compression gzip;
    gzip.gzip = true;
    hdf5::write_number_matrix(file, "/results/numbers", 2, 3, numbers, gzip);
    hdf5::write_integer_matrix(file, "/results/integers", 3, 2, integers,
                               hdf5::IntegerType::kInt16);
    file.close();
  }
  const ProcessResult h5py =
      run_program("/usr/bin/python3",
                  {"-c",
                   "import h5py; f = h5py.File('w.h5', 'r'); "
                   "print(f['results/numbers'][1].tolist(), f['results/integers'][:, 0].tolist(), "
                   "f['results/integers'].dtype)"},
                  folder.path());
  ASSERT_EQ(h5py.status, 0) << h5py.standard_error;
  EXPECT_EQ(h5py.standard_output, "[4.0, 5.0, 6.0] [-1, -3, -5] int16\n");
}

}  // namespace
}  // namespace pelmora::testing
