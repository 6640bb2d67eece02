#pragma once
// Identifiers shared by the resource script and the code. Plain macros, so
// that the resource compiler reads them too; the page's control identifiers
// are checked against page/ControlIds.h where the code uses them.

#define IDR_MAINFRAME 128

#define IDD_ABOUTBOX 100
#define IDD_WAIT 131
#define IDD_UPLOADDB 132
#define IDD_USB 141

#define IDS_UPDATE_DATABASE 104
#define IDS_UPLOAD_MODE_WARNING 105
#define IDS_DB_CHECK 106

// Template 132
#define IDC_PORT_LIST 1000
#define IDC_UPDATE 1001
#define IDC_UPLOAD 1002
#define IDC_BROWSE 1047
#define IDC_PORT_GROUP 1049
#define IDC_PROGRESS 1051
#define IDC_DATABASE_CHECK 1056
#define IDC_DB_VERSION_LABEL 1063
#define IDC_DB_VERSION 1064
#define IDC_VOICE_PATH 1065
#define IDC_CLEAR_POI 1067
#define IDC_DEVICE_ID 1116
#define IDC_QUERY 1117
#define IDC_VOICE_BROWSE 1119
#define IDC_VOICE_PATH_LABEL 1120
#define IDC_DB_PATH_LABEL 1121
#define IDC_DEVICE_ID_LABEL 1122
#define IDC_FW_VERSION_LABEL 1123
#define IDC_DB_REGION_LABEL 1124
#define IDC_DB_PATH 1137
#define IDC_QUERY_GROUP 1138
#define IDC_UPDATE_GROUP 1139
#define IDC_UNUSED_STATIC 1140
#define IDC_REGION_LABEL 1141
#define IDC_REGION_LIST 1142
#define IDC_STATUS 1143
#define IDC_PROGRESS_TEXT 1144
#define IDC_FW_VERSION 1146
#define IDC_CHECK_DB_ONLY 1147
#define IDC_DB_REGION 1148

// Template 131
#define IDC_WAIT_BAR 1045
// Template 141 (its hint shares 1121 with the page's path label)
#define IDC_USB_HINT 1121
#define IDC_USB_PROMPT 1134
// Template 100
#define IDC_VERSION_TEXT 1118
#define IDC_FOLDERS_LABEL 1201
#define IDC_FOLDERS 1202
