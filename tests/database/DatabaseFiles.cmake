# The database file's check, its split into the device files and Index.bin.
target_sources(mzt_database_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CameraRecordTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DatabaseSplitterTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReducedIndexTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SplitRoundTripTest.cpp
)
target_link_libraries(mzt_database_tests PRIVATE mzt_dbgen)
