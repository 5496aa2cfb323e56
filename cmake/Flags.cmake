# Compiler settings every LoopWren target shares, through the loopwren_flags target.
add_library(loopwren_flags INTERFACE)
add_library(loopwren::flags ALIAS loopwren_flags)

target_compile_options(loopwren_flags INTERFACE
  -Wall -Wextra -Wpedantic
  # Renders must be the same bytes on every machine: no fused multiply-add, no
  # reassociation, every double expression evaluated in the order written.
  -ffp-contract=off -fno-fast-math
  # The libraries are position-independent for the plugin's module, which exports
  # lv2_descriptor alone: nothing interposes their functions, so they inline as they
  # would in a program (without this, GCC renders a block a fifth slower).
  -fno-semantic-interposition)
# Clang checks the engine lock discipline from the annotations of engine/ThreadSafety.h.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  target_compile_options(loopwren_flags INTERFACE -Wthread-safety)
endif()
if(LOOPWREN_WERROR)
  target_compile_options(loopwren_flags INTERFACE -Werror)
endif()

if(LOOPWREN_SANITIZE STREQUAL "address")
  target_compile_options(loopwren_flags INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(loopwren_flags INTERFACE -fsanitize=address,undefined)
elseif(LOOPWREN_SANITIZE STREQUAL "thread")
  target_compile_options(loopwren_flags INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(loopwren_flags INTERFACE -fsanitize=thread)
elseif(NOT LOOPWREN_SANITIZE STREQUAL "")
  message(FATAL_ERROR "LOOPWREN_SANITIZE must be empty, 'address' or 'thread'")
endif()

# The fuzz build gives every library libFuzzer's coverage instrumentation.
if(LOOPWREN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "LOOPWREN_FUZZ needs Clang (-DCMAKE_CXX_COMPILER=clang++)")
  endif()
  target_compile_options(loopwren_flags INTERFACE -fsanitize=fuzzer-no-link
    -fsanitize-coverage-ignorelist=${CMAKE_SOURCE_DIR}/fuzz/coverage-ignore.txt)
endif()
