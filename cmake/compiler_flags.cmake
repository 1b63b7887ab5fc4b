# Warnings as errors for the program's own code; sanitizers for the
# native sanitizer build; static runtime for the Windows builds so that the
# executables import only system DLLs.
function(padscope_strict_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  endif()
endfunction()

if(PADSCOPE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(MINGW)
  add_link_options(-static -static-libgcc -static-libstdc++)
  # The same sources give the same files in any folder at any time (the
  # release zip of make dist is checked for that): no link time in the PE
  # header (which also keeps its checksum still) and no folder of the build
  # in what the compiler writes.
  add_link_options(-Wl,--no-insert-timestamp)
  add_compile_options(
    "$<$<COMPILE_LANGUAGE:C,CXX,ASM>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
    "$<$<COMPILE_LANGUAGE:C,CXX,ASM>:-ffile-prefix-map=${PROJECT_BINARY_DIR}=build>")
endif()

# The release executables a person gets (padscope.exe, padscope-report.exe):
# stripped of symbols and of the static runtime's debugging sections, and
# without the runtime's verbose terminate handler (see
# src/platform/mingw_lean_runtime.cpp).
function(padscope_lean_executable target)
  if(MINGW)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/platform/mingw_lean_runtime.cpp)
    target_link_options(${target} PRIVATE $<$<CONFIG:MinSizeRel,Release>:-s>)
  endif()
endfunction()

if(MSVC)
  set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
endif()

# The fuzz build instruments everything for coverage; the fuzz target itself
# links libFuzzer.
if(PADSCOPE_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
