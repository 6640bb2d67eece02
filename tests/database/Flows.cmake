# The page's flows end to end against the simulated device and the local server.
target_sources(mzt_database_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/PoiExportTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QueryFlowTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReplugWatcherTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SheetAndPoiFlowTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UpdateFlowTest.cpp
)
target_include_directories(mzt_database_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(mzt_database_tests PRIVATE mzt_devsim mzt_updserver mzt_dbgen)
