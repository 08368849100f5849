# Helpers shared by every folder's CMakeLists.

# varn_library(NAME DIR [DEPS ...]): a static library of every .cpp directly in DIR.
# New files are picked up at the next build (CONFIGURE_DEPENDS).
function(varn_library name dir)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  if(_src)
    add_library(${name} STATIC ${_src})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${A_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${A_DEPS})
  endif()
endfunction()

# Every subfolder of DIR that holds a CMakeLists.txt is added, so that each
# folder's tests, fuzz targets and benchmarks live beside each other without
# a shared list to edit.
function(varn_add_subfolders dir)
  file(GLOB _children LIST_DIRECTORIES true ${dir}/*)
  foreach(_child ${_children})
    if(IS_DIRECTORY ${_child} AND EXISTS ${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endfunction()

# varn_test(FOLDER SOURCES... [LIBS ...]): one GoogleTest program per folder;
# every test is named "<folder>.<Suite>.<Test>" so that ctest -R '^folder' picks a folder.
function(varn_test folder)
  cmake_parse_arguments(A "" "" "LIBS;SOURCES" ${ARGN})
  if(NOT A_SOURCES)
    return()
  endif()
  set(_t ${folder}_tests)
  add_executable(${_t} ${A_SOURCES})
  target_link_libraries(${_t} PRIVATE ${A_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  target_compile_definitions(${_t} PRIVATE VARN_SOURCE_DIR="${PROJECT_SOURCE_DIR}" VARN_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${_t} TEST_PREFIX "${folder}." DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "VARN_SOURCE_DIR=${PROJECT_SOURCE_DIR};VARN_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()

# varn_fuzz(NAME SOURCES... LIBS ... [CORPUS dir]): a libFuzzer target; its seed corpus is
# fuzz/corpus/NAME (made at build time by the target's folder when it needs generated seeds).
function(varn_fuzz name)
  cmake_parse_arguments(A "" "" "LIBS;SOURCES" ${ARGN})
  add_executable(fuzz_${name} ${A_SOURCES})
  target_link_libraries(fuzz_${name} PRIVATE ${A_LIBS})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY VARN_FUZZ_TARGETS fuzz_${name})
endfunction()

# varn_bench(NAME SOURCES... LIBS ...): a Google Benchmark program.
function(varn_bench name)
  cmake_parse_arguments(A "" "" "LIBS;SOURCES" ${ARGN})
  add_executable(bench_${name} ${A_SOURCES})
  target_link_libraries(bench_${name} PRIVATE ${A_LIBS} benchmark::benchmark Threads::Threads)
endfunction()

# varn_link_static(PREFIX): the pkg-config target PkgConfig::PREFIX links the static archives
# of its module and of everything that module needs, so that the game maps fewer shared
# libraries at start-up (each costs its loading and relocation before main). The C and C++
# runtime stays shared; where any archive is missing the module stays shared as it was.
function(varn_link_static prefix)
  set(_libs)
  foreach(_name IN LISTS ${prefix}_STATIC_LIBRARIES)
    if(_name MATCHES "^(m|dl|pthread|rt|c|stdc\\+\\+|gcc_s)$")
      list(APPEND _libs ${_name})
      continue()
    endif()
    find_library(_archive NAMES lib${_name}.a HINTS ${${prefix}_STATIC_LIBRARY_DIRS} NO_CACHE)
    if(NOT _archive)
      message(STATUS "${prefix}: no lib${_name}.a, linked shared")
      return()
    endif()
    list(APPEND _libs ${_archive})
    unset(_archive)
  endforeach()
  set_target_properties(PkgConfig::${prefix} PROPERTIES
    INTERFACE_LINK_LIBRARIES "${_libs}"
    INTERFACE_LINK_OPTIONS "${${prefix}_STATIC_LDFLAGS_OTHER}")
endfunction()
