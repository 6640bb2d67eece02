#include "page/PoiClearingFlow.h"

#include "common/TextFill.h"
#include "page/DeviceReading.h"
#include "page/MztUtilitySheet.h"
#include "page/PageTexts.h"
#include "page/PoiExportFlow.h"
#include "page/WorkFiles.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {

bool ConfirmPoiClearing(const FlowContext& c) {
  return c.report.Ask(strings::kClearPoiQuestion, strings::kAppCaption,
                      MessageButtons::kYesNoDefaultNo) == MessageAnswer::kYes;
}

FlowEnd RunPoiClearing(const FlowContext& c) {
  ReadFirmwareFlags(c);  // the POI count's field depends on the firmware
  c.state.waitText = c.surface.WaitCaption();
  BackUpPois(c);
  const PoiBackup& backup = *c.state.poiBackup;
  if (backup.saved > 0) {
    // From the UTF-8 form: path::wstring() throws on a non-ASCII name under the C locale.
    std::u8string where = (DataFolder() / kPoiFileName).u8string();
    c.report.Step(Fill(TrW("{1} POIs saved to {2}"),
                       {std::to_wstring(backup.saved), Utf8ToWide(std::string(where.begin(), where.end()))}));
  }
  if (!backup.Complete()) c.surface.CloseWaitDialog();
  FlowEnd end{.outcome = FlowOutcome::kDeclined, .clearDisplay = false, .keepBusy = true};
  if (!ConfirmIncompleteBackup(c, TrW("The device's POIs cannot be restored once cleared. Clear them anyway?"),
                               MessageButtons::kYesNoDefaultNo))
    return end;
  const bool cleared = c.sheet.ClearPois();
  c.surface.CloseWaitDialog();
  c.Say(cleared ? strings::kPoiCleared : strings::kPoiClearingFailed, strings::kAppCaption);
  end.outcome = cleared ? FlowOutcome::kSuccess : FlowOutcome::kDeviceUnreachable;
  return end;
}

}  // namespace mzt
