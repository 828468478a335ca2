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
