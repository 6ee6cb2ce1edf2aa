# Import libraries of the Windows system DLLs for the builds that have no
# mingw-w64 runtime (ARM): llvm-dlltool makes lib<name>.a from each list in
# system-imports/ into a folder of the build that every link searches, so
# that "-lkernel32" and target_link_libraries(... shell32) mean what they
# mean for mingw-w64.
include_guard(GLOBAL)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "ARM64")
  set(_orvek_dlltool_machine arm64)
else()
  set(_orvek_dlltool_machine arm)
endif()
find_program(ORVEK_LLVM_DLLTOOL NAMES llvm-dlltool-14 llvm-dlltool REQUIRED)
set(ORVEK_SYSTEM_IMPORTS_DIR ${PROJECT_BINARY_DIR}/system-imports)
file(MAKE_DIRECTORY ${ORVEK_SYSTEM_IMPORTS_DIR})
file(GLOB _orvek_import_lists ${CMAKE_CURRENT_LIST_DIR}/system-imports/*.def)
foreach(_orvek_list IN LISTS _orvek_import_lists)
  get_filename_component(_orvek_name ${_orvek_list} NAME_WE)
  execute_process(
    COMMAND ${ORVEK_LLVM_DLLTOOL} -m ${_orvek_dlltool_machine}
            -d ${_orvek_list} -l ${ORVEK_SYSTEM_IMPORTS_DIR}/lib${_orvek_name}.a
    COMMAND_ERROR_IS_FATAL ANY)
  # An edited list makes the next build configure again.
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY
               CMAKE_CONFIGURE_DEPENDS ${_orvek_list})
endforeach()
link_directories(${ORVEK_SYSTEM_IMPORTS_DIR})
unset(_orvek_list)
unset(_orvek_name)
unset(_orvek_import_lists)
unset(_orvek_dlltool_machine)
