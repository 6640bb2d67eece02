# The page, its conversation with the device, the POI flows and the upload.
target_sources(mzt_database PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/DatabaseUpload.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DeviceConversation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MztUtilitySheet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PoiExport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PoiFlows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReplugWatcher.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UploadDBDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WorkerThreads.cpp
)
