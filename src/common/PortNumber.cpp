#include "common/PortNumber.h"

#include "common/FieldReader.h"

namespace mzt {

int GetSelectedPortNumber(std::string_view portName) {
  size_t start = portName.size();
  while (start > 0 && portName[start - 1] >= '0' && portName[start - 1] <= '9') --start;
  long long value = ParseDecimal(portName.substr(start));
  return value > 0x7FFFFFFF ? 0 : static_cast<int>(value);
}

}  // namespace mzt
