# The downloads, both made by cpack (or cmake --build build --target package):
#   build/prompt-demo-<version>-win32.zip     the two programs and the data files they read
#   build/prompt-runtime-<version>-win32.zip  the runtime for programs of one's own: headers,
#       the library (optimised and Debug), the CMake package, a pkg-config file, the examples
#       with their assets, the reference and the guide
install(TARGETS demo sample RUNTIME DESTINATION . COMPONENT programs)
install(DIRECTORY assets/bmp assets/sound assets/picture DESTINATION . COMPONENT programs)
install(FILES packaging/README.txt DESTINATION . COMPONENT programs)

# The runtime for programs of one's own (cmake --install, component
# development): lib/, include/prompt/, lib/cmake/PromptRuntime with the
# package configuration, the toolchain file and the manifest, and
# lib/pkgconfig for builds without CMake.
include(CMakePackageConfigHelpers)
set(PROMPT_PACKAGE_DIR lib/cmake/PromptRuntime)
set_target_properties(prompt_runtime PROPERTIES EXPORT_NAME runtime)
install(TARGETS prompt_runtime EXPORT PromptRuntimeTargets ARCHIVE DESTINATION lib COMPONENT development)
install(DIRECTORY include/prompt DESTINATION include COMPONENT development)
install(EXPORT PromptRuntimeTargets NAMESPACE Prompt:: DESTINATION ${PROMPT_PACKAGE_DIR} COMPONENT development)
configure_package_config_file(cmake/PromptRuntimeConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/PromptRuntimeConfig.cmake INSTALL_DESTINATION ${PROMPT_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/PromptRuntimeConfigVersion.cmake
    COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/PromptRuntimeConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/PromptRuntimeConfigVersion.cmake
              cmake/toolchain-mingw-i686.cmake
              resources/program.manifest
        DESTINATION ${PROMPT_PACKAGE_DIR} COMPONENT development)

# pkg-config files with the options the runtime target carries, read from it
# so that the two cannot drift apart: prompt-runtime (optimised) and
# prompt-runtime-debug.
if(NOT MSVC)
    get_target_property(options prompt_runtime INTERFACE_COMPILE_OPTIONS)
    string(REGEX REPLACE "\\$<\\$<COMPILE_LANGUAGE:[^>]*>:([^>]*)>" "\\1" options "${options}")
    get_target_property(link_options prompt_runtime INTERFACE_LINK_OPTIONS)
    get_target_property(libraries prompt_runtime INTERFACE_LINK_LIBRARIES)
    list(TRANSFORM libraries PREPEND -l)
    string(REPLACE ";" " " PC_CFLAGS "${options}")
    string(REPLACE ";" " " PC_LIBS "${libraries};${link_options}")
    get_target_property(debug_postfix prompt_runtime DEBUG_POSTFIX)
    foreach(variant IN ITEMS "" "-debug")
        set(PC_NAME prompt-runtime${variant})
        set(PC_LIBRARY prompt_runtime)
        if(variant)
            string(APPEND PC_LIBRARY ${debug_postfix})
        endif()
        configure_file(cmake/prompt-runtime.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${PC_NAME}.pc @ONLY)
        install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${PC_NAME}.pc DESTINATION lib/pkgconfig COMPONENT development)
    endforeach()
endif()

# A single-configuration build makes one library; the Debug one (with its d)
# comes from a second build tree, configured and built when the runtime is
# installed or packaged, and installed beside it.
option(PROMPT_INSTALL_DEBUG_RUNTIME "Installing the runtime also builds and installs its Debug library" ON)
get_property(multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
if(PROMPT_INSTALL_DEBUG_RUNTIME AND NOT multi_config AND NOT CMAKE_BUILD_TYPE STREQUAL Debug)
    set(DEBUG_TREE ${CMAKE_BINARY_DIR}/runtime-debug)
    set(DEBUG_CONFIGURE -G ${CMAKE_GENERATOR} -DCMAKE_MAKE_PROGRAM=${CMAKE_MAKE_PROGRAM} -DCMAKE_BUILD_TYPE=Debug
        -DBUILD_TESTING=OFF -DPROMPT_INSTALL_DEBUG_RUNTIME=OFF)
    if(CMAKE_TOOLCHAIN_FILE)
        list(APPEND DEBUG_CONFIGURE -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE})
    else()
        list(APPEND DEBUG_CONFIGURE -DCMAKE_C_COMPILER=${CMAKE_C_COMPILER} -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}
            -DCMAKE_RC_COMPILER=${CMAKE_RC_COMPILER})
    endif()
    configure_file(cmake/InstallDebugRuntime.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/InstallDebugRuntime.cmake @ONLY)
    install(SCRIPT ${CMAKE_CURRENT_BINARY_DIR}/InstallDebugRuntime.cmake COMPONENT development)
endif()

# What the runtime's zip carries besides the installed runtime.
install(FILES packaging/runtime-README.txt DESTINATION . RENAME README.txt COMPONENT runtime_download)
install(DIRECTORY examples/ DESTINATION examples COMPONENT runtime_download REGEX "/build[^/]*$" EXCLUDE)
install(FILES docs/runtime.md docs/guide.ja.md DESTINATION docs COMPONENT runtime_download)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME prompt-demo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME prompt-demo-${PROJECT_VERSION}-win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON) # unpacks into a folder of its own
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
# The programs alone: without component installation CPack would put every
# component in (the runtime's headers, library and CMake files too).
set(CPACK_COMPONENTS_ALL programs)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
# The runtime's zip has a configuration of its own (a zip of CPack's unpacks
# into one folder name); the demo's package run makes it next.
set(RUNTIME_PACKAGE_FILE_NAME prompt-runtime-${PROJECT_VERSION}-win32)
configure_file(cmake/CPackRuntimeConfig.cmake.in ${CMAKE_BINARY_DIR}/CPackRuntimeConfig.cmake @ONLY)
set(CPACK_PROMPT_RUNTIME_CONFIG ${CMAKE_BINARY_DIR}/CPackRuntimeConfig.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/RuntimePackage.cmake)
include(CPack)
