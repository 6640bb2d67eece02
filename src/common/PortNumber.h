#pragma once

#include <string_view>

namespace mzt {

// The trailing decimal number of a port name: "COM12" -> 12, "/dev/ttyACM3" -> 3.
// A name without trailing digits gives 0.
int GetSelectedPortNumber(std::string_view portName);

}  // namespace mzt
