# GoogleTest from Debian: the installed library natively, its source built with the cross compiler
# for Windows. Nothing is downloaded.
include(GoogleTest)
if(WIN32)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()

# Registers a GoogleTest executable. Under Wine, discovery would run Wine at build time, so the
# tests are listed when ctest runs instead.
function(orv_add_gtest target)
  target_link_libraries(${target} PRIVATE GTest::gtest_main)
  if(WIN32 AND NOT ORV_WINE_TESTS)
    return()
  endif()
  if(WIN32)
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${ARGN})
  else()
    gtest_discover_tests(${target} ${ARGN})
  endif()
endfunction()
