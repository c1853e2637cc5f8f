# The fuzz build (-DTELVAR_FUZZ=ON, clang only): the whole project compiled
# with libFuzzer's coverage and AddressSanitizer and UndefinedBehaviorSanitizer;
# tests/fuzz links its targets with -fsanitize=fuzzer. Undefined behaviour
# aborts, so the fuzzer takes it for a crash.
option(TELVAR_FUZZ "Build the libFuzzer targets of tests/fuzz (clang)" OFF)
if(TELVAR_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TELVAR_FUZZ needs clang: -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
