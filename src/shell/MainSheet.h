#pragma once
// The main window: two tabs ("測速點資料庫上傳", "關於") without OK, Cancel,
// Apply or Help. It owns the control surface, the toolkit-free sheet with
// the device link, and the copy-data endpoint. Its close box follows the
// sheet's close command; a close while it is greyed is refused, any other
// close ends the program once the workers have stopped.

#include <cstdint>
#include <memory>
#include <span>

#include <wx/frame.h>
#include <wx/notebook.h>

#include "page/MztUtilitySheet.h"
#include "platform/CopyDataChannel.h"
#include "recording/RecordingSwitch.h"
#include "shell/WxControlSurface.h"

namespace mzt {

class MainSheet : public wxFrame {
 public:
  explicit MainSheet(const wxString& title);
  ~MainSheet() override;

  CMZTUtilitySheet& Sheet() { return *sheet_; }
  WxControlSurface& Surface() { return *surface_; }
  wxNotebook& Tabs() { return *tabs_; }
  // Shows the window in front of the others, restored if it was minimised.
  void ComeForward();

 private:
  void OnClose(wxCloseEvent& event);
  // Runs on the endpoint's thread; the request itself runs on the UI thread.
  bool OnCopyDataRequest(uint32_t identifier, std::span<const uint8_t> data);

  wxNotebook* tabs_ = nullptr;
  RecordingSwitch recording_{"mzt-utility"};  // outlives the sheet's port
  std::unique_ptr<WxControlSurface> surface_;
  std::unique_ptr<CMZTUtilitySheet> sheet_;
  CopyDataServer copyData_;
  bool closeRefusalShown_ = false;  // the box saying why the window stays open
};

}  // namespace mzt
