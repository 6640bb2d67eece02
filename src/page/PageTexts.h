#pragma once
// The speed-camera page's texts, shown exactly as written here by every
// window and the command line; numbers name the control, string or dialog
// template a text belongs to.

#include "platform/Translation.h"

namespace mzt::strings {

// Captions.
inline constexpr const wchar_t* kAppCaption = L"MZT Utility";
inline constexpr const wchar_t* kErrorCaption = L"錯誤";
inline constexpr const wchar_t* kSystemErrorCaption = L"Error";  // the system's error texts
inline constexpr const wchar_t* kPleaseWait = L"請稍候";          // template 131

// Button 1001 and the update form.
inline constexpr const wchar_t* kUpdateDatabase = L"更新資料庫";                 // 104
inline constexpr const wchar_t* kUploadModeWarning =
    L"裝置進入資料上傳模式,所有在裝置上的功能都會被關閉";                          // 105
inline constexpr const wchar_t* kDbCheck = L"DB 檢查";                          // 106
inline constexpr const wchar_t* kUpdating = L"更新中";

// Region names.
inline constexpr const wchar_t* kTaiwan = L"台灣";  // 1142, 0
inline constexpr const wchar_t* kChina = L"中國";   // 1142, 1
inline constexpr const wchar_t* kUnknownRegion = L"未知";

// Reading the device.
inline constexpr const wchar_t* kVersionQueryFailed = L"DB版本查詢失敗,請重試!!";
inline constexpr const wchar_t* kDeviceIdQueryFailed = L"裝置識別碼查詢失敗,請重試!!";
inline constexpr const wchar_t* kReadingDeviceFiles = L"讀取裝置檔案資料,";    // 131, before the wait text
inline constexpr const wchar_t* kReadingDatabaseVersion = L"讀取資料庫版本資訊,";  // 131, before the wait text
inline constexpr const wchar_t* kNoDatabaseInDevice = L"裝置內無測速照相資料庫";
inline constexpr const wchar_t* kNoDatabase = L"無測速照相資料庫";

// Connecting.
inline constexpr const wchar_t* kPortOpenFailed = L"無法連結裝置，請重試";
inline constexpr const wchar_t* kDeviceUnreachable = L"無法連結裝置,請確認是否選擇到正確通訊埠或請檢查機器";
inline constexpr const wchar_t* kChooseFileFirst = L"請先選擇檔案！！";

// The online update.
inline constexpr const wchar_t* kCheckingForUpdate = L"檢查網路更新,";  // 131, before the wait text
inline constexpr const wchar_t* kTaiwanOnly = L"機器韌體版本只能下載[台灣]的測速照相資料";
inline constexpr const wchar_t* kNewDatabase = L"網站上有新的資料庫可做更新";
inline constexpr const wchar_t* kNewDatabaseVersion = L"網站上有新的資料庫可做更新, 資料庫版本為:";
inline constexpr const wchar_t* kProxyFailed = L"Proxy設定失敗";
inline constexpr const wchar_t* kNetworkUnstable = L"網路可能不穩定,請稍後再試";
inline constexpr const wchar_t* kDownloading = L"資料下載中,請稍等";  // 1143
inline constexpr const wchar_t* kDownloadMissing = L"下載的DB檔不存在";
// The question before a database of another region replaces the device's:
// the device's region name, then the chosen one, between these three parts.
inline constexpr const wchar_t* kReplaceQuestionStart = L"您的機器內目前是 [";
inline constexpr const wchar_t* kReplaceQuestionMiddle = L"] 的測速照相資料,確定要置換為 [";
inline constexpr const wchar_t* kReplaceQuestionEnd = L"] 的測速照相資料嗎?";

// The update server's answers.
inline constexpr const wchar_t* kNothingNewer = L"網站無新的資料庫可供更新";   // answer 2
inline constexpr const wchar_t* kNoDatabaseOnServer = L"網站上沒有測數照像資料庫";  // answer 4
inline constexpr const wchar_t* kServerError = L"資料庫伺服器有錯誤";           // answer 6

// The database upload.
inline constexpr const wchar_t* kDatabaseFormatError = L"測速照相資料庫格式錯誤";
inline constexpr const wchar_t* kProcessingDatabase = L"SCDB處理中, 請等待";  // 1143
inline constexpr const wchar_t* kUploadingFF00 = L"FF00.bin 上傳中, 請等待";  // 1143
inline constexpr const wchar_t* kUploadingFF01 = L"FF01.bin 上傳中, 請等待";  // 1143
inline constexpr const wchar_t* kUploadingFF02 = L"FF02.bin 上傳中, 請等待";  // 1143
inline constexpr const wchar_t* kUploadFailed = L"DB 上傳失敗,請重試,請洽經銷商";
inline constexpr const wchar_t* kDeletionFailed = L"刪除DB失敗,請重試!!";
inline constexpr const wchar_t* kUploadDone = L"測試照像資料庫上傳完成";  // 1143
inline constexpr const wchar_t* kRestartDevice = L"請重新啟動裝置!!";

// The replug prompt.
inline constexpr const wchar_t* kUnplugUsb = L"請拔除USB線";
inline constexpr const wchar_t* kPlugUsb = L"請插入USB線";

// The POIs.
inline constexpr const wchar_t* kDownloadingPoi = L"下載POI,";  // 131, before the wait text
inline constexpr const wchar_t* kPoiFileFailed = L"無法產生ＰＯＩ檔案";
inline constexpr const wchar_t* kPoiCsvHeader =
    L"日期,時間, 照相點緯度,照相點經度, 照相點方向角, 照相點速限, 警告距離, 語音碼代號, "
    L"角度代碼, 照相點ID, 警告點緯度, 警告點經度, 警告點方向角, 機器ID, 操作員名稱, "
    L"記錄程式版本\r\n";
inline constexpr const wchar_t* kClearPoiQuestion = L"程式將刪除裝置內POI資料,請問是否刪除?";
inline constexpr const wchar_t* kPoiCleared = L"POI清除完成,請重新啟動裝置!";
inline constexpr const wchar_t* kPoiClearingFailed = L"POI清除失敗,請稍後再試!";

// The program's own texts, looked up with TrW().
inline constexpr const char* kNoDeviceFound =
    TrLater("No detector found.\nConnect the detector with a USB cable and try again. If it is connected, use a USB "
       "cable that carries data, or another USB port.");
// Why the window does not close while a flow runs.
inline constexpr const char* kCloseRefused = TrLater("An update is running: wait until it has finished before closing.");
// The About tab's caption of the folders that hold the program's files.
inline constexpr const char* kFoldersLabel = TrLater("Folders of the program's files (POI.csv, MZTConfig.ini):");

}  // namespace mzt::strings
