# frostmark_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2)
# One GoogleTest binary per area; every TEST() becomes its own ctest case.
function(frostmark_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  # A Windows build run through Wine finds this machine's folders on drive Z:.
  set(drive "")
  if(WIN32 AND CMAKE_CROSSCOMPILING)
    set(drive "Z:")
  endif()
  target_compile_definitions(${name} PRIVATE
    FROSTMARK_TEST_DATA="${drive}${CMAKE_SOURCE_DIR}/tests/data"
    FROSTMARK_SOURCE_DIR="${drive}${CMAKE_SOURCE_DIR}"
    FROSTMARK_BINARY_DIR="${drive}${CMAKE_BINARY_DIR}")
  if(CMAKE_CROSSCOMPILING)
    # Each start of a program under an emulator is dear (Wine: half a second): the whole program is one
    # test, whose output names every failing case.
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES TIMEOUT 1200)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
  endif()
endfunction()

# frostmark_core_library(NAME SOURCES ... DEPS ...): a static core library, standard C++ only.
function(frostmark_core_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(ARG_SOURCES)
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    # A folder whose first source has not landed yet still gives a target others can link.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()
