# The database file's check and its split into the device files.
target_sources(mzt_database PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AtomicFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DatabaseLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DatabaseSplitter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InputFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReducedIndex.cpp
)
