# What a host links, made from the layers' objects:
# - KelnSDK (libKelnSDK.so, or libKelnSDK.a with BUILD_SHARED_LIBS=OFF): the whole SDK
#   with its platform layers, exporting only what is marked KELN_EXPORT;
# - KelnSDKGtk (libKelnSDK-Gtk.so): the GTK front end, linking KelnSDK for the layers it
#   builds on, so that the main queue, the application object and the web-engine factory
#   stay one per process.
# Tests, benchmarks and the demo link the static layer libraries instead.

set(KELN_SDK_LAYERS keln_foundation keln_dispatch keln_http keln_uikit keln_webkit keln_passkit keln_model keln_core
                    keln_presentation keln_sdk)

# keln_shipped_library(<target> <output name> <layers...>)
function(keln_shipped_library target output)
  add_library(${target})
  foreach(layer IN LISTS ARGN)
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:${layer}>)
    # What the layer links from outside the SDK (libcurl, ICU, ...).
    get_target_property(deps ${layer} LINK_LIBRARIES)
    foreach(dep IN LISTS deps)
      if(NOT dep MATCHES "^(keln_|\\$<)")
        target_link_libraries(${target} PRIVATE ${dep})
      endif()
    endforeach()
  endforeach()
  target_include_directories(${target}
    PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output} LINKER_LANGUAGE CXX
    VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR} SOVERSION ${PROJECT_VERSION_MAJOR})
  target_link_options(${target} PRIVATE -Wl,--gc-sections -Wl,--as-needed -Wl,--no-undefined)
  # The checkers' builds link their runtimes in as the layers were compiled for them.
  target_link_libraries(${target} PRIVATE $<BUILD_INTERFACE:keln_options>)
endfunction()

keln_shipped_library(KelnSDK KelnSDK ${KELN_SDK_LAYERS})
target_link_libraries(KelnSDK PUBLIC nlohmann_json::nlohmann_json)
add_library(KelnSDK::KelnSDK ALIAS KelnSDK)

keln_shipped_library(KelnSDKGtk KelnSDK-Gtk keln_gtk)
target_link_libraries(KelnSDKGtk PUBLIC KelnSDK PkgConfig::KELN_GTK)
# Installed beside libKelnSDK.so, it finds it there.
set_target_properties(KelnSDKGtk PROPERTIES EXPORT_NAME Gtk INSTALL_RPATH "$ORIGIN")
add_library(KelnSDK::Gtk ALIAS KelnSDKGtk)

# Installation: public headers, the library, the resources, a CMake package
# (find_package(KelnSDK) gives KelnSDK::KelnSDK) and a pkg-config file.
include(CMakePackageConfigHelpers)
install(TARGETS KelnSDK EXPORT KelnSDKTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} PATTERN gtk EXCLUDE)
install(DIRECTORY resources/ DESTINATION ${CMAKE_INSTALL_DATADIR}/KelnSDK/resources)
install(EXPORT KelnSDKTargets NAMESPACE KelnSDK:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/KelnSDK)
configure_package_config_file(cmake/KelnSDKConfig.cmake.in ${PROJECT_BINARY_DIR}/KelnSDKConfig.cmake
                              INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/KelnSDK)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KelnSDKConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KelnSDKConfig.cmake ${PROJECT_BINARY_DIR}/KelnSDKConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/KelnSDK)
configure_file(cmake/KelnSDK.pc.in ${PROJECT_BINARY_DIR}/KelnSDK.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/KelnSDK.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The GTK front end, its own component: find_package(KelnSDK COMPONENTS Gtk) gives
# KelnSDK::Gtk (the SDK with it), pkg-config gives KelnSDK-Gtk.
install(TARGETS KelnSDKGtk EXPORT KelnSDKGtkTargets COMPONENT Gtk
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY include/keln/gtk DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/keln COMPONENT Gtk)
install(EXPORT KelnSDKGtkTargets NAMESPACE KelnSDK:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/KelnSDK COMPONENT Gtk)
configure_file(cmake/KelnSDK-Gtk.pc.in ${PROJECT_BINARY_DIR}/KelnSDK-Gtk.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/KelnSDK-Gtk.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Gtk)
