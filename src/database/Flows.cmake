target_sources(mzt_database PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/PoiExport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReplugWatcher.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WorkerThreads.cpp
)
