#include "win32shell/SpeedCameraPage.h"

#include <prsht.h>

#include "page/ControlIds.h"
#include "page/UploadDBDlg.h"
#include "win32shell/MainSheet.h"
#include "win32shell/ResourceIds.h"

namespace mzt {

// The resource script's identifiers are the page controller's.
static_assert(IDC_PORT_LIST == ids::kPortList && IDC_UPDATE == ids::kUpdateButton &&
              IDC_UPLOAD == ids::kUploadButton && IDC_BROWSE == ids::kBrowseButton &&
              IDC_PORT_GROUP == ids::kPortGroup && IDC_PROGRESS == ids::kProgressBar &&
              IDC_DATABASE_CHECK == ids::kDatabaseCheck &&
              IDC_DB_VERSION_LABEL == ids::kDbVersionLabel &&
              IDC_DB_VERSION == ids::kDbVersionText && IDC_VOICE_PATH == ids::kVoicePathText &&
              IDC_CLEAR_POI == ids::kClearPoiButton && IDC_DEVICE_ID == ids::kDeviceIdText &&
              IDC_QUERY == ids::kQueryButton && IDC_VOICE_BROWSE == ids::kVoiceBrowseButton &&
              IDC_VOICE_PATH_LABEL == ids::kVoicePathLabel &&
              IDC_DB_PATH_LABEL == ids::kDbPathLabel &&
              IDC_DEVICE_ID_LABEL == ids::kDeviceIdLabel &&
              IDC_FW_VERSION_LABEL == ids::kFwVersionLabel &&
              IDC_DB_REGION_LABEL == ids::kDbRegionLabel && IDC_DB_PATH == ids::kDbPathText &&
              IDC_QUERY_GROUP == ids::kQueryGroup && IDC_UPDATE_GROUP == ids::kUpdateGroup &&
              IDC_UNUSED_STATIC == ids::kUnusedStatic && IDC_REGION_LABEL == ids::kRegionLabel &&
              IDC_REGION_LIST == ids::kRegionList && IDC_STATUS == ids::kStatusText &&
              IDC_PROGRESS_TEXT == ids::kProgressText && IDC_FW_VERSION == ids::kFwVersionText &&
              IDC_CHECK_DB_ONLY == ids::kCheckDbOnly && IDC_DB_REGION == ids::kDbRegionText);

INT_PTR CALLBACK SpeedCameraPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* owner = reinterpret_cast<MainSheet*>(GetWindowLongPtrW(page, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      owner = reinterpret_cast<MainSheet*>(reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam);
      SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(owner));
      owner->OnSpeedCameraPageCreated(page);
      return TRUE;
    case WM_SHOWWINDOW:
      if (wParam && owner && owner->Sheet()) owner->Sheet()->Page().OnShowWindow();
      return FALSE;
    case WM_COMMAND: {
      if (!owner || !owner->Sheet()) return FALSE;
      CUploadDBDlg& controller = owner->Sheet()->Page();
      int id = LOWORD(wParam);
      int code = HIWORD(wParam);
      if (id == IDC_PORT_LIST && code == CBN_DROPDOWN) {
        controller.OnPortListDropDown();
      } else if (id == IDC_PORT_LIST && code == CBN_SELCHANGE) {
        controller.OnPortSelectionChange();
      } else if (code == BN_CLICKED && id == IDC_UPDATE) {
        controller.OnUpdateButton();
      } else if (code == BN_CLICKED && id == IDC_QUERY) {
        controller.OnQueryButton();
      } else if (code == BN_CLICKED && id == IDC_CLEAR_POI) {
        controller.OnClearPoiButton();
      } else {
        return FALSE;
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace mzt
