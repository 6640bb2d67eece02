#pragma once
// The wx window's own texts, shown exactly as written here; numbers name the
// control or dialog template a text belongs to. The page's texts are in
// page/PageTexts.h.

namespace mzt::shell_texts {

// Tab captions.
inline constexpr const wchar_t* kSpeedCameraPage = L"測速點資料庫上傳";  // 132
inline constexpr const wchar_t* kAbout = L"關於";                        // 100

// The speed-camera page's control labels (template 132).
inline constexpr const wchar_t* kPortGroup = L"通訊埠設定";                // 1049
inline constexpr const wchar_t* kQueryGroup = L"版本查詢";                 // 1138
inline constexpr const wchar_t* kUpdateGroup = L"測速照相資料庫更新";       // 1139
inline constexpr const wchar_t* kQueryButton = L"查詢";                    // 1117
inline constexpr const wchar_t* kDbVersionLabel = L"DB 版本";              // 1063
inline constexpr const wchar_t* kFwVersionLabel = L"FW 版本";              // 1123
inline constexpr const wchar_t* kDbRegionLabel = L"DB區域";                // 1124
inline constexpr const wchar_t* kClearPoiButton = L"清除自訂座標點";        // 1067
inline constexpr const wchar_t* kRegionLabel = L"測速照相資料庫區域選擇";   // 1141
inline constexpr const wchar_t* kUploadButton = L"資料庫上傳";             // 1002
inline constexpr const wchar_t* kDbPathLabel = L"ＤＢ檔路徑";              // 1121
inline constexpr const wchar_t* kDatabaseCheck = L"測速照相點資料庫";       // 1056
inline constexpr const wchar_t* kCheckDbOnly = L"僅檢查DB ";               // 1147
inline constexpr const wchar_t* kVoicePathLabel = L"語音檔路徑";           // 1120
inline constexpr const wchar_t* kDeviceIdLabel = L"序號";                  // 1122

// The replug dialog's hidden hint.
inline constexpr const wchar_t* kReplugHint = L"請拔除USB線後在接上USB線";  // 141, 1121

}  // namespace mzt::shell_texts
