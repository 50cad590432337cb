# A second build of everything with AddressSanitizer, UndefinedBehaviorSanitizer and
# the instrumentation libFuzzer needs (clang only); it adds the fuzz targets.
option(PLUGIN_MANAGER_SANITIZE "Build with ASan, UBSan and fuzzing instrumentation (clang)" OFF)

if(PLUGIN_MANAGER_SANITIZE)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "The sanitizer build needs clang: -DCMAKE_CXX_COMPILER=clang++")
    endif()

    add_compile_options(-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
