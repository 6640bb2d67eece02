#include "page/PageLock.h"

#include "page/ControlIds.h"
#include "page/MztUtilitySheet.h"
#include "page/PageTexts.h"
#include "page/UploadDBDlg.h"

namespace mzt {

PageLock::PageLock(CUploadDBDlg& page) : page_(page) { page_.EnableControls(false); }

void PageLock::Engage() {
  page_.sheet_.SetBusy(true);
  page_.surface_.EnableCloseCommand(false);
}

void PageLock::End(const FlowEnd& end) {
  if (ended_.exchange(true)) return;
  CUploadDBDlg& page = page_;
  // Idle controls may start a new flow at once, which opens the port: this
  // run's close comes first.
  page.sheet_.ClosePort();
  if (page.surface_.IsWaitDialogOpen()) page.surface_.CloseWaitDialog();
  page.EnableControls(true);
  page.sheet_.SetBusy(end.keepBusy);
  page.surface_.EnableCloseCommand(true);
  if (end.clearDisplay) {
    page.state_.fileIndex = 1;
    page.ResetProgressDisplay();
    page.surface_.SetText(ids::kVoicePathText, L"");
  }
  if (!end.message.empty()) page.context_.Say(end.message, end.caption ? end.caption : strings::kErrorCaption);
  if (end.outcome != FlowOutcome::kNone) page.Finish(end.outcome);
}

}  // namespace mzt
