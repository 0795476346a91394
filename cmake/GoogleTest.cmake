# GoogleTest from Debian's source package, built with the cross compiler.
set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest source tree")
if(NOT EXISTS ${GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest source not found at ${GTEST_SOURCE_DIR}: install Debian's googletest package")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest's own sources are not ours to warn about.
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)
include(GoogleTest)

# swaptide_add_test(name sources... LIBS libs... [DEPENDS targets...] [LOCKS names...] [WINDOWS] [SERIAL]):
# one test program, its cases listed by CTest without running Wine at configure time (the list is
# read when the tests run). WINDOWS marks programs whose cases show or look up top-level windows: they take
# turns on the display. Under Wine, FindWindowW asks every top-level window for its caption with
# a message (so it waits on another test's window that is not pumping), and hiding an activated
# window waits for the X server; side by side such tests slow each other down many times over.
# LOCKS names other shared things the cases take turns on (lockscan: two lock scans at once read
# each other's handles, which under Wine is slow and disturbs both). SERIAL runs the cases with
# nothing beside them at all.
function(swaptide_add_test name)
  cmake_parse_arguments(T "WINDOWS;SERIAL" "" "LIBS;DEPENDS;LOCKS" ${ARGN})
  set(locks ${T_LOCKS})
  if(T_WINDOWS)
    list(APPEND locks desktop)
  endif()
  set(serial "")
  list(LENGTH locks lockCount)
  if(lockCount EQUAL 1)
    set(serial RESOURCE_LOCK "${locks}")
  elseif(lockCount GREATER 1)
    # Discovered tests get their properties as one flat list, so a second lock name would be
    # read as a property name of its own and neither lock held: a program that needs several
    # runs with nothing beside it instead.
    set(serial RUN_SERIAL TRUE)
  endif()
  if(T_SERIAL)
    set(serial RUN_SERIAL TRUE)
  endif()
  # A program that scans the system's handle table (itself or through the updater) runs under a
  # Wine server of its own (scripts/test starts it): a scan duplicates every handle of every
  # process for a moment, and a test beside it that deletes a file and makes it again, removes a
  # folder or starts a program it has just copied finds that file still open.
  set(scanServer "")
  if("lockscan" IN_LIST locks)
    set(scanServer ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix-scan")
  endif()
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main gtest)
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 NO_PRETTY_VALUES
    PROPERTIES TIMEOUT 300 ${serial} ${scanServer})
endfunction()
