# Windows on ARM with clang-14 and lld. Debian ships the mingw-w64 headers
# but no runtime for ARM (no crt, no libgcc, no libstdc++ to link), so what
# is built here links against Windows system DLLs only: their import
# libraries are made by llvm-dlltool from the lists in cmake/system-imports/
# (cmake/system_imports.cmake), and the compiler helpers the code calls come
# from cmake/arm-runtime/. The C++ library headers are g++'s for mingw-w64
# (header-only parts only: anything that would need its library fails to
# link). The including toolchain file sets CMAKE_SYSTEM_PROCESSOR and
# ORVEK_CLANG_TARGET.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_ASM_COMPILER clang-14)
set(CMAKE_RC_COMPILER llvm-windres-14)
set(CMAKE_C_COMPILER_TARGET ${ORVEK_CLANG_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${ORVEK_CLANG_TARGET})
set(CMAKE_ASM_COMPILER_TARGET ${ORVEK_CLANG_TARGET})
set(CMAKE_RC_FLAGS_INIT
    "--target=${ORVEK_CLANG_TARGET} -I /usr/share/mingw-w64/include")
# No C runtime start-up to link a test program with.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(ORVEK_NO_C_RUNTIME ON)

file(GLOB _orvek_gcc_cxx /usr/lib/gcc/x86_64-w64-mingw32/*-posix/include/c++)
list(SORT _orvek_gcc_cxx)
list(GET _orvek_gcc_cxx -1 _orvek_gcc_cxx)
set(_orvek_includes "-nostdinc++ -isystem ${_orvek_gcc_cxx} -isystem ${_orvek_gcc_cxx}/x86_64-w64-mingw32 -isystem /usr/share/mingw-w64/include")
set(CMAKE_C_FLAGS_INIT "-isystem /usr/share/mingw-w64/include")
set(CMAKE_CXX_FLAGS_INIT "${_orvek_includes}")
# The link sees the compile flags too, -nostdinc++ among them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -nostdlib -Wno-unused-command-line-argument")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld -nostdlib -Wno-unused-command-line-argument")
# Not the mingw-w64 default of a dozen system DLLs: each target names its own.
foreach(_orvek_lang C CXX)
  set(CMAKE_${_orvek_lang}_STANDARD_LIBRARIES "" CACHE STRING
      "Libraries every ${_orvek_lang} link gets: none here")
endforeach()
unset(_orvek_includes)
unset(_orvek_gcc_cxx)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
