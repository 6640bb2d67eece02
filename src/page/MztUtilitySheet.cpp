#include "page/MztUtilitySheet.h"

#include <algorithm>

#include "page/PageTexts.h"
#include "page/UploadDBDlg.h"
#include "devicelink/DevicePort.h"
#include "platform/CopyDataChannel.h"
#include "platform/SerialPort.h"
#include "platform/TextCodec.h"

namespace mzt {

CMZTUtilitySheet::CMZTUtilitySheet(IControlSurface& surface, std::unique_ptr<CDevicePort> link,
                                   IFlowReport* report)
    : surface_(surface), link_(std::move(link)) {
  if (!report) {
    ownReport_ = std::make_unique<ControlSurfaceReport>(surface_);
    report = ownReport_.get();
  }
  report_ = report;
  page_ = std::make_unique<CUploadDBDlg>(*this);
  if (link_) {
    link_->SetProgressCallback(
        [this](uint32_t acknowledged, uint32_t size) { OnTransferProgress(acknowledged, size); });
    link_->SetErrorReporter([this](const std::string& text) {
      report_->Ask(Utf8ToWide(text), strings::kSystemErrorCaption, MessageButtons::kOk);
    });
  }
}

CMZTUtilitySheet::~CMZTUtilitySheet() {
  page_.reset();  // joins the page's workers while the link still exists
  link_.reset();
}

bool CMZTUtilitySheet::OpenPort(const std::string& portName) {
  return link_ && link_->OpenPort(portName, 115200, 0);
}
std::string PortFailureText(const Error& error) {
  std::string advice = PortOpenAdvice(error);
  return advice.empty() ? error.message : error.message + "\n" + advice;
}
std::string CMZTUtilitySheet::OpenPortFailure() const {
  return link_ ? PortFailureText(link_->LastOpenFailure()) : std::string();
}
void CMZTUtilitySheet::ClosePort() {
  if (link_) link_->ClosePort();
}
bool CMZTUtilitySheet::QueryDeviceInfo(int selector) {
  return link_ && link_->QueryDeviceInfo(selector);
}
bool CMZTUtilitySheet::ReadPoiRecord(int index) { return link_ && link_->ReadPoiRecord(index); }
void CMZTUtilitySheet::CopyPoiRecord(CameraRecord& destination) {
  if (link_) link_->CopyPoiRecord(destination);
}
bool CMZTUtilitySheet::ClearPois() { return link_ && link_->ClearPois(); }
int CMZTUtilitySheet::QueryUploadMode() { return link_ ? link_->QueryUploadMode() : 0; }
bool CMZTUtilitySheet::EnterUploadMode() { return link_ && link_->EnterUploadMode(); }
bool CMZTUtilitySheet::QueryFileEntry(int index, int& fileIdentifier, int& location) {
  return link_ && link_->QueryFileEntry(index, fileIdentifier, location);
}
bool CMZTUtilitySheet::DeleteDeviceFile(int expectedIdentifier, int location) {
  return link_ && link_->DeleteDeviceFile(expectedIdentifier, location);
}
void CMZTUtilitySheet::SetExactMode(bool exact) {
  if (link_) link_->SetExactMode(exact);
}
std::string CMZTUtilitySheet::GetVersionText() { return link_ ? link_->GetVersionText() : ""; }
std::string CMZTUtilitySheet::GetDeviceIdText() { return link_ ? link_->GetDeviceIdText() : ""; }
int CMZTUtilitySheet::GetPoiCount() { return link_ ? link_->GetPoiCount() : 0; }
int CMZTUtilitySheet::GetDatabaseVersion(uint16_t& year, uint8_t& month, uint8_t& day) {
  return link_ ? link_->GetDatabaseVersion(year, month, day) : 0;
}
std::string CMZTUtilitySheet::GetRegionCode() { return link_ ? link_->GetRegionCode() : ""; }
void CMZTUtilitySheet::SetChunkSize(int bytes) {
  if (link_) link_->SetChunkSize(bytes);
}
bool CMZTUtilitySheet::SendFileById(int fileIdentifier, const std::filesystem::path& path) {
  return link_ && link_->SendFileById(fileIdentifier, path);
}
bool CMZTUtilitySheet::SendFile(const std::filesystem::path& path) { return link_ && link_->SendFile(path); }

void CMZTUtilitySheet::OnTransferProgress(uint32_t acknowledged, uint32_t fileSize) {
  if (page_->IsUploadInProgress()) page_->ShowProgress(acknowledged, fileSize);
}

CopyDataResult CMZTUtilitySheet::OnCopyData(uint32_t identifier, std::span<const uint8_t> data) {
  if (identifier != 1 || data.size() > kMaxCopyDataBytes) return CopyDataResult::kRefused;
  // The text ends at its NUL, or at the end of the data when it has none.
  auto end = std::find(data.begin(), data.end(), uint8_t{0});
  std::string text(data.begin(), end);
  return page_->OnCopyData(text) ? CopyDataResult::kAccepted : CopyDataResult::kRefused;
}

}  // namespace mzt
