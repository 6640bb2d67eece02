#pragma once
// The main sheet without its window: it owns the one device link, forwards
// the page's device requests to it, keeps the busy flag, and routes transfer
// progress and copy-data requests.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "common/CameraRecord.h"
#include "common/Result.h"
#include "page/ControlSurface.h"
#include "page/FlowReport.h"

namespace mzt {

class CDevicePort;
class CUploadDBDlg;

enum class CopyDataResult { kAccepted, kRefused };

// Why a port could not be opened, with the usual fix when there is one.
std::string PortFailureText(const Error& error);

class CMZTUtilitySheet {
 public:
  // `link` may be null: every device forwarder then answers failure. The
  // flows report through `report`; without one, on the surface's controls.
  CMZTUtilitySheet(IControlSurface& surface, std::unique_ptr<CDevicePort> link,
                   IFlowReport* report = nullptr);
  ~CMZTUtilitySheet();
  CMZTUtilitySheet(const CMZTUtilitySheet&) = delete;
  CMZTUtilitySheet& operator=(const CMZTUtilitySheet&) = delete;

  CUploadDBDlg& Page() { return *page_; }
  IControlSurface& Surface() { return surface_; }
  IFlowReport& Report() { return *report_; }
  CDevicePort* Link() { return link_.get(); }

  // Device forwarders: failure, 0 or nothing without a link. Opening and
  // closing are safe from two threads (the link serialises them).
  bool OpenPort(const std::string& portName);
  // Why the last OpenPort failed, with the usual fix when there is one.
  std::string OpenPortFailure() const;
  void ClosePort();
  bool QueryDeviceInfo(int selector);
  bool ReadPoiRecord(int index);
  void CopyPoiRecord(CameraRecord& destination);
  bool ClearPois();
  int QueryUploadMode();
  bool EnterUploadMode();
  bool QueryFileEntry(int index, int& fileIdentifier, int& location);
  bool DeleteDeviceFile(int expectedIdentifier, int location);
  void SetExactMode(bool exact);
  std::string GetVersionText();
  std::string GetDeviceIdText();
  int GetPoiCount();
  int GetDatabaseVersion(uint16_t& year, uint8_t& month, uint8_t& day);
  std::string GetRegionCode();
  void SetChunkSize(int bytes);
  bool SendFileById(int fileIdentifier, const std::filesystem::path& path);
  bool SendFile(const std::filesystem::path& path);

  // Set while a run of a flow holds the page (PageLock); a query and a
  // clearing leave it set.
  bool IsBusy() const { return busy_; }
  void SetBusy(bool busy) { busy_ = busy; }

  // The transfer's progress reaches the page only while it uploads.
  void OnTransferProgress(uint32_t acknowledged, uint32_t fileSize);
  // A request from another program; identifier 1 carries "path,port".
  CopyDataResult OnCopyData(uint32_t identifier, std::span<const uint8_t> data);

 private:
  IControlSurface& surface_;
  std::unique_ptr<IFlowReport> ownReport_;
  IFlowReport* report_ = nullptr;
  std::unique_ptr<CDevicePort> link_;
  std::unique_ptr<CUploadDBDlg> page_;
  std::atomic<bool> busy_{false};
};

}  // namespace mzt
