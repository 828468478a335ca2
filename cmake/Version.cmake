# One version number for everything that ships: it comes from project(VERSION)
# and reaches the programs' version resources, the installer's name and
# cxdecode --version.
set(CX_VERSION ${PROJECT_VERSION})
set(CX_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
set(CX_PUBLISHER "Vex")
set(CX_COPYRIGHT "Copyright (C) 2026 Vex")

# cx_add_version_info(TARGET name DESCRIPTION "..." FILENAME "Name.exe")
# Gives a Windows program its VERSIONINFO resource and its application
# manifest (a resource script generated per target). Elsewhere it does nothing.
function(cx_add_version_info)
  cmake_parse_arguments(V "" "TARGET;DESCRIPTION;FILENAME" "" ${ARGN})
  if(NOT CX_WINDOWS)
    return()
  endif()
  get_filename_component(CX_INTERNAL_NAME ${V_FILENAME} NAME_WE)
  set(CX_DESCRIPTION "${V_DESCRIPTION}")
  set(CX_FILENAME "${V_FILENAME}")
  set(dir ${CMAKE_BINARY_DIR}/version/${V_TARGET})
  configure_file(${CMAKE_SOURCE_DIR}/cmake/app.manifest.in ${dir}/app.manifest @ONLY)
  set(CX_MANIFEST_PATH ${dir}/app.manifest)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${dir}/version.rc @ONLY)
  target_sources(${V_TARGET} PRIVATE ${dir}/version.rc)
  set_source_files_properties(${dir}/version.rc PROPERTIES OBJECT_DEPENDS ${dir}/app.manifest)
endfunction()
