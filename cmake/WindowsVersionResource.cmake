# mzt_add_version_resource(<target> "<description>") gives a Windows program
# the version resource of src/platform/windows/VersionInfo.rc.in, filled in
# from the project version, with <target>.exe as its file name.
function(mzt_add_version_resource target description)
  set(MZT_RC_NAME ${target})
  set(MZT_RC_DESCRIPTION "${description}")
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/src/platform/windows/VersionInfo.rc.in ${output} @ONLY)
  target_sources(${target} PRIVATE ${output})
endfunction()
