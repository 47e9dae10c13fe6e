# Shared settings for every target of our own code.

if(KIVO_SANITIZE)
  # -O1 keeps the sanitized tests quick and turns on the warnings that need
  # optimisation (format truncation, string overflow), so every sanitized
  # build sees what CI sees.
  add_compile_options(-O1 -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(KIVO_TSAN)
  if(KIVO_SANITIZE)
    message(FATAL_ERROR "ThreadSanitizer can't be combined with AddressSanitizer")
  endif()
  # GCC 12 sees out-of-bounds copies in inlined std::string code that is
  # instrumented for threads; the AddressSanitizer build keeps those checks.
  add_compile_options(-O1 -fsanitize=thread -fno-omit-frame-pointer
                      -Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread -Wno-restrict)
  add_link_options(-fsanitize=thread)
endif()

# The test script (and so CI) compiles each target's sources in batches of
# one translation unit each: the headers and the templates they instantiate
# are compiled once per batch instead of once per file, which halves the CPU
# time of a sanitized build. File-local names (anonymous namespaces, statics)
# then share a batch: give them names of their own, or list the file in
# cmake/KivoUnity.cmake. Configure with -DKIVO_UNITY_BUILD=ON to build as CI does.
option(KIVO_UNITY_BUILD "Compile each target's sources in batches, as CI does" OFF)
if(KIVO_UNITY_BUILD)
  set(CMAKE_UNITY_BUILD ON)
  set(CMAKE_UNITY_BUILD_BATCH_SIZE 16)
endif()

# lld links the sanitized test binaries in a fraction of the time GNU ld
# takes; scripts/setup.sh installs it.
option(KIVO_LLD "Link with lld when it is installed" ON)
if(KIVO_LLD)
  find_program(KIVO_LLD_PROGRAM ld.lld)
  if(KIVO_LLD_PROGRAM)
    add_link_options(-fuse-ld=lld)
  else()
    message(STATUS "ld.lld not found: linking with the default linker")
  endif()
endif()

# Our sources are UTF-8; the program's narrow strings are GBK, as the stored
# files and the wire have them. GB18030 is GBK for every GBK character and
# also encodes the few symbols the standard headers use (such as the micro
# sign), which plain GBK would reject.
set(KIVO_CXX_FLAGS -Wall -Wextra -Wno-unused-parameter -finput-charset=UTF-8 -fexec-charset=GB18030)
# The test script (and so CI) turns warnings into errors; other builds only
# report them, so that a compiler's false positive cannot stop a build.
if(KIVO_WERROR)
  list(APPEND KIVO_CXX_FLAGS -Werror)
endif()

function(kivo_target target)
  target_compile_options(${target} PRIVATE ${KIVO_CXX_FLAGS})
  # Qt's lower-case keywords (slots, forever, emit) would clash with plain names.
  target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# One GoogleTest binary per source folder; every test runs headless in the
# zone the market lives in.
function(kivo_test name)
  cmake_parse_arguments(T "" "" "SOURCES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  kivo_target(${name})
  # GoogleTest's assertion macros are if-else statements of their own.
  target_compile_options(${name} PRIVATE -Wno-dangling-else)
  target_link_libraries(${name} PRIVATE testing GTest::gtest GTest::gmock)
  target_precompile_headers(${name} REUSE_FROM kivo_test_pch)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TZ=Asia/Shanghai;LC_ALL=C.UTF-8;ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    TIMEOUT 300)
endfunction()
