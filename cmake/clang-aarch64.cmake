set(CMAKE_SYSTEM_PROCESSOR ARM64)
set(ORVEK_CLANG_TARGET aarch64-w64-windows-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/clang-windows.cmake)
