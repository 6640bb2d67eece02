// Requests from other programs reach the sheet as they arrive on the
// socket: an identifier and any bytes. The sheet runs without a device link
// on a recording surface, so an accepted request goes through the page's
// update start up to the failed port open.

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "devicelink/DevicePort.h"
#include "page/ControlIds.h"
#include "page/MztUtilitySheet.h"
#include "platform/CopyDataChannel.h"
#include "support/RecordingSurface.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  mzt::test::RecordingSurface surface;
  for (const wchar_t* port : {L"/dev/ttyACM0", L"/dev/ttyACM1", L"COM3"})
    surface.AddListItem(mzt::ids::kPortList, port);
  surface.SetText(mzt::ids::kUpdateButton, mzt::strings::kUpdateDatabase);
  mzt::CMZTUtilitySheet sheet(surface, nullptr);

  uint32_t identifier = data[0] % 4;
  std::span<const uint8_t> payload(data + 1, size - 1);
  bool accepted = sheet.OnCopyData(identifier, payload) == mzt::CopyDataResult::kAccepted;

  std::string_view text(reinterpret_cast<const char*>(payload.data()), payload.size());
  text = text.substr(0, text.find('\0'));
  bool acceptable = identifier == 1 && payload.size() <= mzt::kMaxCopyDataBytes &&
                    text.find(',') != std::string_view::npos;
  int selected = surface.SelectedListItem(mzt::ids::kPortList);
  if (accepted != acceptable || selected < -1 || selected >= 3) std::abort();
  return 0;
}
