# The package a person downloads and runs: the two programs, the data files in
# the folders they read them from, and a short README.txt.
#   cmake --build build --target package   ->  build/prompt-demo-<version>-win32.zip
install(TARGETS demo sample RUNTIME DESTINATION . COMPONENT programs)
install(DIRECTORY assets/bmp assets/sound assets/picture DESTINATION . COMPONENT programs)
install(FILES packaging/README.txt DESTINATION . COMPONENT programs)

# The runtime for programs of one's own (cmake --install, component
# development): lib/, include/prompt/, and lib/cmake/PromptRuntime with the
# package configuration, the toolchain file and the manifest.
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

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME prompt-demo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME prompt-demo-${PROJECT_VERSION}-win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON) # unpacks into a folder of its own
set(CPACK_COMPONENTS_ALL programs)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
include(CPack)
