# Included by the top-level CMakeLists when ORTELIS_FUZZ is on, before any
# library: everything is compiled with AddressSanitizer and
# UndefinedBehaviorSanitizer (any finding stops the program) and with the
# coverage instrumentation libFuzzer needs; only the fuzz targets link
# libFuzzer's main.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "ORTELIS_FUZZ needs clang (libFuzzer): configure with -DCMAKE_CXX_COMPILER=clang++")
endif()
add_compile_options(-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)
