// The Error a call throws, for tests that check its kind and exact text.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "base/error.h"

namespace pelmora::testing {

template <typename Call>
std::optional<Error> caught_error(Call&& call) {
  try {
    call();
  } catch (const Error& error) {
    return error;
  }
  return std::nullopt;
}

// For death tests whose body must run in a child (an address-space cap, a
// file-size limit): prints the Error's text and ends the child with status 1.
template <typename Call>
void exit_on_error(Call&& call) {
  try {
    call();
  } catch (const Error& error) {
    std::fputs(error.message().c_str(), stderr);
    std::exit(1);
  }
}

}  // namespace pelmora::testing
