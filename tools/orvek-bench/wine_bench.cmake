# Benchmarks that run under Wine against the host emulator (WIN32 builds).
# Included by this folder's CMakeLists.txt.

# orvek-exchange-bench.exe: one exchange through the DLL against the same
# system calls made by hand.
add_executable(orvek-exchange-bench ${CMAKE_CURRENT_LIST_DIR}/exchange_bench.cpp)
target_include_directories(orvek-exchange-bench PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(orvek-exchange-bench PRIVATE advapi32)
# One fixed place, wherever this file is included from: scripts/bench.sh.
set_target_properties(orvek-exchange-bench PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools/orvek-bench)
orvekport_link_dll(orvek-exchange-bench)
