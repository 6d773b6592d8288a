# Instrumented builds, each in a build folder of its own:
#   KR5M_SANITIZE=ON  AddressSanitizer and UndefinedBehaviorSanitizer, every report fatal (build-asan/,
#                     the test command runs the whole suite there);
#   KR5M_FUZZ=ON      the same with clang and libFuzzer's coverage, plus the fuzz targets in fuzz/
#                     (build-fuzz/, scripts/fuzz.sh).
option(KR5M_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(KR5M_FUZZ "Build the fuzz targets (clang, libFuzzer)" OFF)
if(KR5M_SANITIZE OR KR5M_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
if(KR5M_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
