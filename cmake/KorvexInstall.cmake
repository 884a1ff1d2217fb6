# What `cmake --install` puts where, the CMake package and pkg-config file a host project finds the
# driver by, and the Debian package (`cpack -G DEB`).
#
# The driver loads its companions (the camera SDK with its GigE Vision module, the card libraries,
# the window-system module) from beside itself, so they all go into one library folder; the
# libraries that link others find them there through $ORIGIN. Test-only pieces (the headless
# window-system module, the fake GigE Vision camera, the grid gallery) stay in the build tree.

include(CMakePackageConfigHelpers)

set_target_properties(KorvexEjector PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})

set(KORVEX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KorvexEjector)

target_include_directories(KorvexEjector INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(TARGETS KorvexEjector EXPORT KorvexEjectorTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/KorvexEjector.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(_korvex_companions KorvexCameraSdk KorvexDaqCard ADSAPI32 BioDaq)
foreach(_module KorvexCameraSdkAravis KorvexEjectorUi)
  if(TARGET ${_module})
    list(APPEND _korvex_companions ${_module})
  endif()
endforeach()
if(TARGET KorvexCameraSdkAravis)
  set_target_properties(KorvexCameraSdkAravis PROPERTIES INSTALL_RPATH "$ORIGIN")
endif()
install(TARGETS ${_korvex_companions} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS korvex-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs FILES_MATCHING PATTERN "*.png")

# find_package(KorvexEjector) → KorvexEjector::KorvexEjector; relocatable, so a staged or
# unpacked tree works wherever it lies.
install(EXPORT KorvexEjectorTargets NAMESPACE KorvexEjector:: DESTINATION ${KORVEX_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/KorvexEjectorConfig.cmake.in
  ${CMAKE_BINARY_DIR}/KorvexEjectorConfig.cmake INSTALL_DESTINATION ${KORVEX_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/KorvexEjectorConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/KorvexEjectorConfig.cmake ${CMAKE_BINARY_DIR}/KorvexEjectorConfigVersion.cmake
  DESTINATION ${KORVEX_CMAKE_DIR})

set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "GigE line-scan camera and ejector driver library")

# pkg-config: the prefix is found from the file's own place, for the same reason.
file(RELATIVE_PATH KORVEX_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" KORVEX_PC_TO_PREFIX "${KORVEX_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/korvex-ejector.pc.in ${CMAKE_BINARY_DIR}/korvex-ejector.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/korvex-ejector.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The Debian package: its dependencies are what dpkg-shlibdeps finds the installed files need.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvex-ejector)
set(CPACK_PACKAGE_VENDOR "KorvexEjector developers")
set(CPACK_PACKAGE_CONTACT "KorvexEjector developers <korvex-ejector@localhost>")
set(CPACK_PACKAGE_DESCRIPTION
    "A driver library a machine-vision host loads into its process: images from GigE Vision line-scan\n"
    "cameras (through Aravis) in frames or line chunks, and a reject mechanism fired through an I/O\n"
    "card in step with a line counter. With its C header, CMake package and pkg-config file.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "")
include(CPack)
