#pragma once
// Control identifiers of the speed-camera page.

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
