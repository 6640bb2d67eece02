#include "shell/MainSheet.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include <wx/sizer.h>

#include "common/Timing.h"
#include "devicelink/DevicePort.h"
#include "page/PageTexts.h"
#include "page/UploadDBDlg.h"
#include "shell/AboutPage.h"
#include "shell/ProgramIcon.h"
#include "shell/SpeedCameraPage.h"

namespace mzt {

namespace {
// The sheet ends this far below its page (there is no button row).
constexpr int kBottomMargin = 12;
}  // namespace

MainSheet::MainSheet(const wxString& title)
    : wxFrame(nullptr, wxID_ANY, title, wxDefaultPosition, wxDefaultSize,
              wxDEFAULT_FRAME_STYLE & ~(wxRESIZE_BORDER | wxMAXIMIZE_BOX)) {
  SetIcons(ProgramIcons());
  surface_ = std::make_unique<WxControlSurface>(*this);
  auto* panel = new wxPanel(this);
  tabs_ = new wxNotebook(panel, wxID_ANY);
  auto* page = new SpeedCameraPage(tabs_, *surface_);
  tabs_->AddPage(page, SpeedCameraPage::kCaption, true);
  tabs_->AddPage(new AboutPage(tabs_, recording_), AboutPage::kCaption);
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(tabs_, 1, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 4);
  sizer->AddSpacer(kBottomMargin);
  panel->SetSizer(sizer);
  auto* frameSizer = new wxBoxSizer(wxVERTICAL);
  frameSizer->Add(panel, 1, wxEXPAND);
  SetSizerAndFit(frameSizer);

  sheet_ = std::make_unique<CMZTUtilitySheet>(*surface_,
                                              std::make_unique<CDevicePort>(recording_.Port(CreateSerialPort())));
  sheet_->Page().SetHttpClientFactory(recording_.HttpClients());
  page->Connect(sheet_->Page());
  sheet_->Page().OnInitDialog();
  sheet_->Page().OnShowWindow();
  tabs_->Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, [this](wxBookCtrlEvent& event) {
    if (event.GetSelection() == 0) sheet_->Page().OnShowWindow();
    event.Skip();
  });
  Bind(wxEVT_CLOSE_WINDOW, &MainSheet::OnClose, this);

  // A second instance runs without the endpoint.
  (void)copyData_.Start(
      CopyDataSocketPath(), [this](uint32_t identifier, std::span<const uint8_t> data) {
        return OnCopyDataRequest(identifier, data);
      });
  Centre();
}

MainSheet::~MainSheet() {
  copyData_.Stop();
  surface_->Shutdown();
  sheet_.reset();  // joins the workers while the surface still answers
}

void MainSheet::OnClose(wxCloseEvent& event) {
  if (event.CanVeto() && !surface_->CloseCommandEnabled()) {
    event.Veto();
    // Said once at a time, after this handler, so that the refusal itself returns at once.
    if (!closeRefusalShown_) {
      closeRefusalShown_ = true;
      CallAfter([this] {
        surface_->ShowMessage(TrW(strings::kCloseRefused), strings::kAppCaption, MessageButtons::kOk);
        closeRefusalShown_ = false;
      });
    }
    return;
  }
  if (surface_->OpenMessageBox()) {
    // A handler below us on this thread still uses the page: end its boxes
    // and close once they have returned.
    surface_->EndMessageBoxesThen([this] { Close(true); });
    return;
  }
  copyData_.Stop();
  surface_->Shutdown();
  sheet_->Page().WaitForIdle();
  Destroy();
}

void MainSheet::ComeForward() {
  if (IsIconized()) Iconize(false);
  Show();
  Raise();
}

// Refusals come back at once; a request still running after a moment has
// been accepted and is showing the update's first question, which may wait
// for the user longer than the sender waits for its answer. The window
// comes forward at any time, a flow or a question on screen or not.
bool MainSheet::OnCopyDataRequest(uint32_t identifier, std::span<const uint8_t> data) {
  if (identifier == kCopyDataRaise) {
    if (!data.empty() || surface_->Gate().IsShutDown()) return false;
    surface_->Gate().Post([this] { ComeForward(); });
    return true;
  }
  struct Request {
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool done = false;
    bool accepted = false;
  };
  auto request = std::make_shared<Request>();
  std::vector<uint8_t> bytes(data.begin(), data.end());
  surface_->Gate().Post([this, request, identifier, bytes] {
    {
      std::lock_guard lock(request->mutex);
      request->started = true;
    }
    request->changed.notify_all();
    bool accepted = sheet_->OnCopyData(identifier, bytes) == CopyDataResult::kAccepted;
    {
      std::lock_guard lock(request->mutex);
      request->done = true;
      request->accepted = accepted;
    }
    request->changed.notify_all();
  });
  const auto slice = std::chrono::milliseconds(ProductionMilliseconds(Delay::kCopyDataPoll));
  const auto startBy = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(ProductionMilliseconds(Delay::kCopyDataUiStart));
  std::unique_lock lock(request->mutex);
  while (!request->started && std::chrono::steady_clock::now() < startBy) {
    if (surface_->Gate().IsShutDown()) return false;
    request->changed.wait_for(lock, slice, [&] { return request->started; });
  }
  if (!request->started) return false;
  request->changed.wait_for(lock, std::chrono::milliseconds(ProductionMilliseconds(Delay::kCopyDataRefusal)),
                            [&] { return request->done; });
  return request->done ? request->accepted : true;
}

}  // namespace mzt
