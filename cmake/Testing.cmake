# cx_add_test(NAME name SOURCES ... LIBS ... [LABELS ...] [RESOURCE_LOCK name] [UTF8])
# One CTest entry per test program. On Windows CTest runs it through the
# Wine launcher (CMAKE_CROSSCOMPILING_EMULATOR); natively it runs directly.
# UTF8: on Windows the test program gets the programs' manifest, so it runs
# in their code page (UTF-8) and its "A" calls take the names they take.
function(cx_add_test)
  cmake_parse_arguments(T "UTF8" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;RESOURCE_LOCK" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gtest gtest_main)
  target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR})
  if(T_UTF8)
    cx_add_version_info(TARGET ${T_NAME} DESCRIPTION "Cantorix test" FILENAME "${T_NAME}.exe")
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "CX_SOURCE_DIR=${CMAKE_SOURCE_DIR};CX_BINARY_DIR=${CMAKE_BINARY_DIR}")
  if(T_RESOURCE_LOCK)
    # Tests that create windows other tests look for must not overlap.
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
  endif()
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# Lanes. A Wine session holds one Cantorix at a time (a second start hands
# its file to the first), and a screen shows the windows of every session
# on it; so tests that need "the" Cantorix window, the settings or the disc
# database of their session lock them, and would all run one after the
# other. A lane is a Wine prefix and an X display of its own (tools/wine-run,
# CX_LANE): lane a is build/wineprefix (drive X: and the fake MCI drivers
# live there), lane b build/wineprefix-b. cx_test_lane(TEST name LANE b)
# moves a test into lane b; its locks of lane-wide things become that
# lane's own.
set(CX_LANE_LOCKS cantorix_window audio_device cxdb_ini)
function(cx_test_lane)
  cmake_parse_arguments(L "" "TEST;LANE" "" ${ARGN})
  if(NOT CX_WINDOWS OR L_LANE STREQUAL "a")
    return()
  endif()
  get_test_property(${L_TEST} RESOURCE_LOCK locks)
  if(locks)
    set(renamed)
    foreach(lock ${locks})
      if(lock IN_LIST CX_LANE_LOCKS)
        list(APPEND renamed ${lock}_${L_LANE})
      else()
        list(APPEND renamed ${lock})
      endif()
    endforeach()
    set_tests_properties(${L_TEST} PROPERTIES RESOURCE_LOCK "${renamed}")
  endif()
  set_property(TEST ${L_TEST} APPEND PROPERTY ENVIRONMENT "CX_LANE=${L_LANE}")
endfunction()
