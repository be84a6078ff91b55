# morvelt_add_gtest(<name> SOURCES <files...> LIBS <targets...> [PROPERTIES <name value...>])
# One GoogleTest executable, its cases discovered by ctest; under the cross build it runs whole
# through Wine.
# PROPERTIES go to every case (a fixture the cases need, its environment).
# morvelt_wine_tests(<tests...>): marks tests that run a Windows program under Wine.
if(CMAKE_CROSSCOMPILING)
  if(NOT TARGET gtest)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  set(MORVELT_GTEST_LIBS gtest gmock)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(MORVELT_WINEARCH win64)
  else()
    set(MORVELT_WINEARCH win32)
  endif()
  set(MORVELT_TEST_LABEL ${MORVELT_WINEARCH})
  # 32-bit Wine needs a machine that executes 32-bit code. Where it cannot, the Wine tests of this
  # build stay registered but disabled (ctest lists them as not run) and the win64 preset runs them.
  set(MORVELT_WINE_RUNS ON)
  if(MORVELT_WINEARCH STREQUAL "win32")
    execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/wine-arch.sh runs-32bit
      RESULT_VARIABLE runs_32bit OUTPUT_QUIET ERROR_QUIET)
    if(NOT runs_32bit EQUAL 0)
      set(MORVELT_WINE_RUNS OFF)
      message(STATUS "32-bit Wine cannot run here (no 32-bit execution, or no 32-bit Wine installed): the tests that need Wine are disabled here")
    endif()
  endif()
else()
  find_package(GTest REQUIRED)
  set(MORVELT_GTEST_LIBS GTest::gtest GTest::gmock)
  set(MORVELT_TEST_LABEL native)
  set(MORVELT_WINE_RUNS ON)
endif()
include(GoogleTest)

function(morvelt_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} ${MORVELT_GTEST_LIBS} morvelt_gtest_main)
  morvelt_warnings(${name})
  # GoogleTest's header is a large part of every case file's compile: parse it once per suite.
  target_precompile_headers(${name} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:<gtest/gtest.h$<ANGLE-R>>)
  if(CMAKE_CROSSCOMPILING)
    # Under Wine one entry per executable, all its cases in one run: starting a Windows program
    # costs about a second, most of what a case costs, while natively every case runs alone.
    # Where Wine cannot run here, the entry is registered disabled.
    add_test(NAME ${MORVELT_TEST_LABEL}.${name} COMMAND ${name})
    if(T_PROPERTIES)
      set_tests_properties(${MORVELT_TEST_LABEL}.${name} PROPERTIES ${T_PROPERTIES})
    endif()
    morvelt_wine_tests(${MORVELT_TEST_LABEL}.${name})
    return()
  endif()
  gtest_discover_tests(${name}
    TEST_PREFIX "${MORVELT_TEST_LABEL}."
    PROPERTIES LABELS ${MORVELT_TEST_LABEL} ${T_PROPERTIES}
    DISCOVERY_TIMEOUT 120
    DISCOVERY_MODE PRE_TEST)
endfunction()

function(morvelt_wine_tests)
  set_property(TEST ${ARGN} APPEND PROPERTY LABELS ${MORVELT_TEST_LABEL} wine)
  set_property(TEST ${ARGN} APPEND PROPERTY ENVIRONMENT MORVELT_WINEARCH=${MORVELT_WINEARCH})
  if(NOT MORVELT_WINE_RUNS)
    set_property(TEST ${ARGN} PROPERTY DISABLED TRUE)
  endif()
endfunction()
