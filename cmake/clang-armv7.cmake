set(CMAKE_SYSTEM_PROCESSOR ARM)
set(ORVEK_CLANG_TARGET armv7-w64-windows-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/clang-windows.cmake)
