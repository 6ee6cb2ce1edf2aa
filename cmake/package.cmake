# The installable package: the DLL, its import library, the public header
# and a package config, so that another project's
#   find_package(OrvekPORT CONFIG REQUIRED)
#   target_link_libraries(app PRIVATE OrvekPORT::OrvekPORT)
# gets the include folder and the DLL. OrvekPORT::OrvekPORT also exists
# under add_subdirectory.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Consumers see the public header's own folder, include/, and nothing else.
set(ORVEKPORT_PUBLIC_INCLUDE ${PROJECT_SOURCE_DIR}/include)
# The installed package names the include folder in its config file, which
# also finds the one the release archive's two architectures share.
target_include_directories(OrvekPORT INTERFACE
  $<BUILD_INTERFACE:${ORVEKPORT_PUBLIC_INCLUDE}>)
add_library(OrvekPORT::OrvekPORT ALIAS OrvekPORT)

install(TARGETS OrvekPORT EXPORT OrvekPORTTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
# Visual Studio's import library and the .def it was made from.
if(ORVEKPORT_MSVC_IMPLIB)
  install(FILES ${ORVEKPORT_MSVC_IMPLIB} ${ORVEKPORT_MSVC_DEF}
          DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
install(FILES ${ORVEKPORT_PUBLIC_INCLUDE}/OrvekPORT/OrvekPORT.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/OrvekPORT)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/OrvekPORT)

set(ORVEKPORT_CONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/OrvekPORT)
set(ORVEKPORT_PACKAGE_ARM FALSE)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(ARM|arm|aarch|AARCH)")
  set(ORVEKPORT_PACKAGE_ARM TRUE)
endif()
install(EXPORT OrvekPORTTargets NAMESPACE OrvekPORT::
        DESTINATION ${ORVEKPORT_CONFIG_DIR})
configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/OrvekPORTConfig.cmake.in
  ${PROJECT_BINARY_DIR}/OrvekPORTConfig.cmake
  INSTALL_DESTINATION ${ORVEKPORT_CONFIG_DIR})
# Same major version; the version file also refuses a package built for the
# other pointer size (x86_64 against i686).
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/OrvekPORTConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/OrvekPORTConfig.cmake
              ${PROJECT_BINARY_DIR}/OrvekPORTConfigVersion.cmake
        DESTINATION ${ORVEKPORT_CONFIG_DIR})

# The release archive holds both architectures' installs side by side
# (x64/, x86/); its top-level package picks one by the consumer's pointer
# size (scripts/release.sh puts these two files in its cmake/ folder).
configure_file(${CMAKE_CURRENT_LIST_DIR}/release/OrvekPORTConfig.cmake
               ${PROJECT_BINARY_DIR}/release/OrvekPORTConfig.cmake COPYONLY)
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/release/OrvekPORTConfigVersion.cmake
  COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
