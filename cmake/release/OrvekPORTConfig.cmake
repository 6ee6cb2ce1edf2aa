# OrvekPORT release archive: x64/, x86/ and arm64/ each hold an installed
# package; this one, at the archive's top (CMAKE_PREFIX_PATH=<unpacked
# folder>), loads arm64/ for a 64-bit ARM consumer, else the one whose
# pointer size is the consumer's. All give the target OrvekPORT::OrvekPORT;
# see the package config in any of the folders.
get_filename_component(_orvekport_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
if(NOT WIN32)
  set(OrvekPORT_FOUND FALSE)
  set(OrvekPORT_NOT_FOUND_MESSAGE
      "OrvekPORT is a Windows DLL; this project does not build for Windows")
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(ARM64|arm64|aarch64|AARCH64)$"
       AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  include("${_orvekport_root}/arm64/lib/cmake/OrvekPORT/OrvekPORTConfig.cmake")
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(ARM|arm|aarch)")
  set(OrvekPORT_FOUND FALSE)
  set(OrvekPORT_NOT_FOUND_MESSAGE "the archive holds x86_64 (x64/), i686 \
(x86/) and ARM64 (arm64/) builds, not ${CMAKE_SYSTEM_PROCESSOR}")
elseif(CMAKE_SIZEOF_VOID_P EQUAL 8)
  include("${_orvekport_root}/x64/lib/cmake/OrvekPORT/OrvekPORTConfig.cmake")
elseif(CMAKE_SIZEOF_VOID_P EQUAL 4)
  include("${_orvekport_root}/x86/lib/cmake/OrvekPORT/OrvekPORTConfig.cmake")
else()
  set(OrvekPORT_FOUND FALSE)
  set(OrvekPORT_NOT_FOUND_MESSAGE
      "the consumer's pointer size is unknown (no C or C++ language enabled "
      "before find_package?): can't choose between x64/ and x86/")
endif()
unset(_orvekport_root)
