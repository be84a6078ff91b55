# morvelt_add_gtest(<name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable, its cases discovered by ctest; under the cross build they run through Wine.
if(CMAKE_CROSSCOMPILING)
  if(NOT TARGET gtest)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  set(MORVELT_GTEST_LIBS gtest gmock)
  set(MORVELT_TEST_LABEL win32)
else()
  find_package(GTest REQUIRED)
  set(MORVELT_GTEST_LIBS GTest::gtest GTest::gmock)
  set(MORVELT_TEST_LABEL native)
endif()
include(GoogleTest)

function(morvelt_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} ${MORVELT_GTEST_LIBS} morvelt_gtest_main)
  morvelt_warnings(${name})
  gtest_discover_tests(${name}
    TEST_PREFIX "${MORVELT_TEST_LABEL}."
    PROPERTIES LABELS ${MORVELT_TEST_LABEL}
    DISCOVERY_TIMEOUT 120
    DISCOVERY_MODE PRE_TEST)
endfunction()
