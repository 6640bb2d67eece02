#pragma once
// Control identifiers of the speed-camera page, and the strings it uses.

#include "platform/Translation.h"

namespace mzt::ids {

inline constexpr int kPortList = 1000;            // drop-down of device ports
inline constexpr int kUpdateButton = 1001;        // "更新資料庫" / "更新中"
inline constexpr int kUploadButton = 1002;        // hidden
inline constexpr int kBrowseButton = 1047;        // hidden
inline constexpr int kPortGroup = 1049;
inline constexpr int kProgressBar = 1051;
inline constexpr int kDatabaseCheck = 1056;       // hidden check box
inline constexpr int kDbVersionLabel = 1063;
inline constexpr int kDbVersionText = 1064;
inline constexpr int kVoicePathText = 1065;       // hidden
inline constexpr int kClearPoiButton = 1067;
inline constexpr int kDeviceIdText = 1116;        // hidden
inline constexpr int kQueryButton = 1117;
inline constexpr int kVoiceBrowseButton = 1119;   // hidden
inline constexpr int kVoicePathLabel = 1120;      // hidden
inline constexpr int kDbPathLabel = 1121;         // hidden
inline constexpr int kDeviceIdLabel = 1122;       // hidden
inline constexpr int kFwVersionLabel = 1123;
inline constexpr int kDbRegionLabel = 1124;
inline constexpr int kDbPathText = 1137;          // hidden
inline constexpr int kQueryGroup = 1138;
inline constexpr int kUpdateGroup = 1139;
inline constexpr int kUnusedStatic = 1140;        // hidden
inline constexpr int kRegionLabel = 1141;
inline constexpr int kRegionList = 1142;          // 0 "台灣", 1 "中國"
inline constexpr int kStatusText = 1143;
inline constexpr int kProgressText = 1144;
inline constexpr int kFwVersionText = 1146;
inline constexpr int kCheckDbOnly = 1147;         // hidden
inline constexpr int kDbRegionText = 1148;

}  // namespace mzt::ids

namespace mzt::strings {

inline constexpr const wchar_t* kUpdateDatabase = L"更新資料庫";                 // 104
inline constexpr const wchar_t* kUploadModeWarning =
    L"裝置進入資料上傳模式,所有在裝置上的功能都會被關閉";                          // 105
inline constexpr const wchar_t* kDbCheck = L"DB 檢查";                          // 106
inline constexpr const wchar_t* kUpdating = L"更新中";
inline constexpr const wchar_t* kAppCaption = L"MZT Utility";
inline constexpr const wchar_t* kErrorCaption = L"錯誤";
inline constexpr const wchar_t* kSystemErrorCaption = L"Error";  // the system's error texts
inline constexpr const wchar_t* kVersionQueryFailed = L"DB版本查詢失敗,請重試!!";
// The program's own texts, looked up with TrW().
inline constexpr const char* kNoDeviceFound =
    TrLater("No detector found.\nConnect the detector with a USB cable and try again. If it is connected, use a USB "
       "cable that carries data, or another USB port.");
inline constexpr const wchar_t* kTaiwan = L"台灣";
inline constexpr const wchar_t* kChina = L"中國";
// Why the window does not close while a flow runs.
inline constexpr const char* kCloseRefused = TrLater("An update is running: wait until it has finished before closing.");
// The About tab's caption of the folders that hold the program's files.
inline constexpr const char* kFoldersLabel = TrLater("Folders of the program's files (POI.csv, MZTConfig.ini):");

}  // namespace mzt::strings
