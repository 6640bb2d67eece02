#pragma once

#include <gtest/gtest.h>

#include <string>

namespace mzt::test {

// Names a table row's test after the row's `name` member.
struct RowName {
  template <typename Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
    return row.param.name;
  }
};

}  // namespace mzt::test
