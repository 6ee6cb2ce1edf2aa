# orvekport_link_dll(TARGET): links a program to OrvekPORT.dll through its
# import library and puts the DLL beside the program, where Windows looks
# first. Used by the client, its tests, the demo and the Wine benchmark.
include_guard(GLOBAL)

function(orvekport_link_dll target)
  target_link_libraries(${target} PRIVATE OrvekPORT)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            $<TARGET_FILE:OrvekPORT> $<TARGET_FILE_DIR:${target}>)
endfunction()
