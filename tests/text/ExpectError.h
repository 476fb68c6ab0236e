// Checks that an operation fails with the component's error type, a given code,
// and a message that names what it is about.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "Error.h"

namespace zentora::excel {

template <typename Operation>
void ExpectError(Operation operation, ErrorCode code, std::string_view named) {
  try {
    operation();
    ADD_FAILURE() << "no error was thrown";
  } catch (const Error& error) {
    EXPECT_TRUE(error.code() == code && std::string(error.what()).find(named) != std::string::npos)
        << "\"" << error.what() << "\" has another code or does not name " << named;
  }
}

}  // namespace zentora::excel
