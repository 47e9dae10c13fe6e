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

# Our sources are UTF-8; the program's narrow strings are GBK, as the stored
# files and the wire have them. GB18030 is GBK for every GBK character and
# also encodes the few symbols the standard headers use (such as the micro
# sign), which plain GBK would reject.
set(KIVO_CXX_FLAGS -Wall -Wextra -Werror -Wno-unused-parameter -finput-charset=UTF-8 -fexec-charset=GB18030)

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
