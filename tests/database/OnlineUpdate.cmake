# Tests of the online update, against the local update server.
target_sources(mzt_database_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/OnlineUpdateTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecordingSurfaceTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ServerAnswerTest.cpp
)
target_link_libraries(mzt_database_tests PRIVATE mzt_database mzt_updserver)
