# Warning flags, optional -Werror and sanitizers for one target.
function(kaldor_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(KALDOR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(KALDOR_SANITIZE)
    # float-cast-overflow is not part of gcc's "undefined"; every finding stops the test.
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined,float-cast-overflow
                                             -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined,float-cast-overflow)
  endif()
endfunction()

# The seconds a test may run before CTest stops it and counts it failed.
set(KALDOR_TEST_TIMEOUT 300 CACHE STRING "Seconds a test may run")

# kaldor_tests: every test executable and, through their dependencies, the programs they start;
# the sanitizer round builds only this.
add_custom_target(kaldor_tests)

# kaldor_test_options(target): what a test's own code compiles with. Without optimisation: most
# of its time would go into optimising the expansions of QCOMPARE and QVERIFY, which run once;
# the code it tests keeps the build's flags.
function(kaldor_test_options target)
  target_compile_definitions(${target} PRIVATE KALDOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                               KALDOR_BINARY_DIR="${CMAKE_BINARY_DIR}")
  kaldor_warnings(${target})
  target_compile_options(${target} PRIVATE -O0)
endfunction()

# kaldor_add_test(name SOURCES a.cpp … [LIBS …]): a QtTest executable registered with CTest,
# run with the offscreen platform so that window tests need no display.
function(kaldor_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE kaldorcore Qt6::Test ${T_LIBS})
  kaldor_test_options(${name})
  if(T_LIBS MATCHES "kaldorui|kaldortestsupport")
    set(kind widgets)
    set(base kaldorui)
  else()
    set(kind core)
    set(base kaldorcore)
  endif()
  # The tests' precompiled header of this kind is made by a library of its own, compiled as the
  # tests are, that links what they link but Qt6::Test: a test defines QT_TESTCASE_BUILDDIR and
  # QT_TESTCASE_SOURCEDIR after its folder, and a header made under other values is refused.
  if(KALDOR_PCH AND NOT TARGET kaldortestpch_${kind})
    set(source ${CMAKE_BINARY_DIR}/kaldortestpch_${kind}.cpp)
    file(CONFIGURE OUTPUT ${source} CONTENT "// Makes the tests' precompiled header only.\n")
    add_library(kaldortestpch_${kind} OBJECT ${source})
    target_link_libraries(kaldortestpch_${kind} PRIVATE ${base})
    set_target_properties(kaldortestpch_${kind} PROPERTIES AUTOMOC OFF)
    kaldor_test_options(kaldortestpch_${kind})
    kaldor_pch(kaldortestpch_${kind} test${kind})
  endif()
  kaldor_pch(${name} test${kind})
  add_dependencies(kaldor_tests ${name})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                                           TIMEOUT ${KALDOR_TEST_TIMEOUT})
endfunction()

# kaldor_add_folders(dir …): adds each of these folders below the current one that has a
# CMakeLists.txt, in the order given.
function(kaldor_add_folders)
  foreach(dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
