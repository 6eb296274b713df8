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

# kaldor_add_test(name SOURCES a.cpp … [LIBS …]): a QtTest executable registered with CTest,
# run with the offscreen platform so that window tests need no display.
function(kaldor_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE kaldorcore Qt6::Test ${T_LIBS})
  target_compile_definitions(${name} PRIVATE KALDOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                             KALDOR_BINARY_DIR="${CMAKE_BINARY_DIR}")
  kaldor_warnings(${name})
  if(T_LIBS MATCHES "kaldorui|kaldortestsupport")
    kaldor_pch(${name} widgets)
  else()
    kaldor_pch(${name} core)
  endif()
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
