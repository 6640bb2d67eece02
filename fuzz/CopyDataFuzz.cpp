// Requests from other programs reach the sheet as they arrive on the
// socket: an identifier and any bytes. The sheet runs without a device link
// on a recording surface, so an accepted request goes through the page's
// update start up to the failed port open; a port the list does not hold is
// refused.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "devicelink/DevicePort.h"
#include "page/ControlIds.h"
#include "page/MztUtilitySheet.h"
#include "platform/CopyDataChannel.h"
#include "platform/TextCodec.h"
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
  size_t comma = text.find(',');
  bool wellFormed = identifier == 1 && payload.size() <= mzt::kMaxCopyDataBytes &&
                    comma != std::string_view::npos;
  int selected = surface.SelectedListItem(mzt::ids::kPortList);
  if ((accepted && !wellFormed) || selected < -1 || selected >= 3) std::abort();
  if (!wellFormed) return 0;
  // A port is named as the list shows it, or by its number; any other is
  // refused, and an accepted one is selected.
  std::string_view port = text.substr(comma + 1);
  bool named = port == "/dev/ttyACM0" || port == "/dev/ttyACM1" || port == "COM3";
  bool numeric = !port.empty() && std::all_of(port.begin(), port.end(),
                                              [](char c) { return c >= '0' && c <= '9'; });
  if (named != accepted && !numeric) std::abort();
  if (accepted && (selected < 0 || (named && mzt::WideToUtf8(surface.ListItem(
                                                 mzt::ids::kPortList, selected)) != port)))
    std::abort();
  return 0;
}
