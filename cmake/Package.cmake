# The package a person downloads and runs: the two programs, the data files in
# the folders they read them from, and a short README.txt.
#   cmake --build build --target package   ->  build/prompt-demo-<version>-win32.zip
install(TARGETS demo sample RUNTIME DESTINATION . COMPONENT programs)
install(DIRECTORY assets/bmp assets/sound assets/picture DESTINATION . COMPONENT programs)
install(FILES packaging/README.txt DESTINATION . COMPONENT programs)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME prompt-demo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME prompt-demo-${PROJECT_VERSION}-win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON) # unpacks into a folder of its own
set(CPACK_COMPONENTS_ALL programs)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
include(CPack)
