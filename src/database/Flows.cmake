target_sources(mzt_database PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ReplugWatcher.cpp
)
