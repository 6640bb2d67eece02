target_sources(mzt_database_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/PoiExportTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReplugWatcherTest.cpp
)
