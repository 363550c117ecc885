# Third-party code for the tests and the benchmark.
if(TAVIX_FUZZ_ONLY)
  return()
endif()

if(NOT WIN32)
  find_package(GTest REQUIRED)
  if(NOT TAVIX_SANITIZE)
    find_package(benchmark REQUIRED)
  endif()
  return()
endif()

# Debian ships GoogleTest as source: built here with the cross compiler.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Google Benchmark has no MinGW build in Debian; scripts/setup.sh unpacks its
# Debian source package outside the build tree, where it survives a clean.
find_path(TAVIX_BENCHMARK_SOURCE NAMES include/benchmark/benchmark.h
          PATHS /usr/local/src/benchmark NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
          DOC "Google Benchmark source tree for the Windows benchmarks")
if(TAVIX_BENCHMARK_SOURCE)
  set(BENCHMARK_ENABLE_TESTING OFF CACHE BOOL "" FORCE)
  set(BENCHMARK_ENABLE_GTEST_TESTS OFF CACHE BOOL "" FORCE)
  set(BENCHMARK_ENABLE_INSTALL OFF CACHE BOOL "" FORCE)
  set(BENCHMARK_ENABLE_WERROR OFF CACHE BOOL "" FORCE)
  # MinGW has both; said here, the checks that cannot run when cross
  # compiling are skipped instead of warning.
  set(HAVE_STD_REGEX 1)
  set(HAVE_STEADY_CLOCK 1)
  # Its other feature checks report, among others, POSIX regex "failed to
  # compile", as expected for Windows: keep their lines off the screen.
  set(CMAKE_MESSAGE_LOG_LEVEL NOTICE)
  add_subdirectory(${TAVIX_BENCHMARK_SOURCE} ${CMAKE_BINARY_DIR}/benchmark EXCLUDE_FROM_ALL)
  unset(CMAKE_MESSAGE_LOG_LEVEL)
else()
  message(STATUS "The Windows benchmarks are skipped: no Google Benchmark source in /usr/local/src/benchmark "
                 "(scripts/setup.sh puts it there; or set TAVIX_BENCHMARK_SOURCE)")
endif()
