# ostrel_library(NAME DIR [DEPS ...] [PKG ...])
# One static library per folder: every .cpp directly in DIR (and in the listed
# SUBDIRS) belongs to it, so adding a file never means editing a list.
function(ostrel_library name dir)
  cmake_parse_arguments(ARG "" "" "SUBDIRS;DEPS" ${ARGN})
  set(globs "${dir}/*.cpp")
  foreach(sub IN LISTS ARG_SUBDIRS)
    list(APPEND globs "${dir}/${sub}/*.cpp")
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${globs})
  if(NOT sources)
    # A layer that has only headers so far.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# ostrel_test(NAME DIR [DEPS ...] [LABELS ...])
# One GoogleTest program per test folder.
function(ostrel_test name dir)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${dir}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    OSTREL_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
    OSTREL_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}")
endfunction()
