# The online update: server pages and answers, the download and the progress display.
target_sources(mzt_database PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/OnlineUpdate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgressDisplay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ServerAnswer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UpdateServerPages.cpp
)
target_link_libraries(mzt_database PUBLIC mzt_platform PRIVATE mzt_warnings)
