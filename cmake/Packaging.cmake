# Installing the project and packaging it for Debian.
#
# The install components, which are also the Debian packages:
#   runtime  zentora-excel         the command line, its man page and libZentoraExcel.so
#   dev      zentora-excel-dev     headers, the static libraries, CMake package and pkg-config file
#   python   python3-zentora-excel the Python module and its type stubs (with ZENTORA_BUILD_PYTHON)
#
# The libraries are installed as static archives: their C++ interfaces make no ABI promise between
# versions, and the one shared library meant for loading, libZentoraExcel.so, exports only the four
# C entry points of the component model. Users of the archives link their dependencies themselves,
# which ZentoraExcelConfig.cmake and zentora-excel.pc declare.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(ZENTORA_INCLUDE_ROOT ${CMAKE_INSTALL_INCLUDEDIR}/zentora)
set(ZENTORA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZentoraExcel)

set_target_properties(zentora_spreadsheet PROPERTIES EXPORT_NAME spreadsheet)
set_target_properties(zentora_excel PROPERTIES EXPORT_NAME component)
set_target_properties(zentora_host PROPERTIES EXPORT_NAME host)
set_target_properties(ZentoraExcel PROPERTIES EXPORT_NAME runtime)
foreach(library zentora_spreadsheet zentora_excel zentora_host ZentoraExcel)
  target_compile_features(${library} PUBLIC cxx_std_20)
endforeach()

install(TARGETS zentora_spreadsheet zentora_excel zentora_host
  EXPORT ZentoraExcelTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS ZentoraExcel
  EXPORT ZentoraExcelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime)
install(TARGETS zentora-excel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(FILES ${PROJECT_SOURCE_DIR}/tools/zentora-excel/zentora-excel.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
# The Python module installs itself (src/Python) as the component "python", a package of its own.

# Public headers keep the source tree's layout under include/zentora, so that they include each
# other by relative paths that hold in both trees. Helpers inside internal/ stay private, except the
# ones that the keyed collection (part of Location's interface) is built from.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/Spreadsheet/
  DESTINATION ${ZENTORA_INCLUDE_ROOT}/Spreadsheet COMPONENT dev
  FILES_MATCHING PATTERN "*.h" PATTERN "internal" EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/Connectors/Excel/
  DESTINATION ${ZENTORA_INCLUDE_ROOT}/Connectors/Excel COMPONENT dev
  FILES_MATCHING PATTERN "*.h" PATTERN "internal" EXCLUDE)
install(FILES
    ${PROJECT_SOURCE_DIR}/src/Connectors/Excel/text/internal/CaseFolding.h
    ${PROJECT_SOURCE_DIR}/src/Connectors/Excel/text/internal/EntryPool.h
    ${PROJECT_SOURCE_DIR}/src/Connectors/Excel/text/internal/KeyTable.h
    ${PROJECT_SOURCE_DIR}/src/Connectors/Excel/text/internal/StoredKey.h
    ${PROJECT_SOURCE_DIR}/src/Connectors/Excel/text/internal/ZeroedMemory.h
  DESTINATION ${ZENTORA_INCLUDE_ROOT}/Connectors/Excel/text/internal COMPONENT dev)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/Host/
  DESTINATION ${ZENTORA_INCLUDE_ROOT}/Host COMPONENT dev FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_SOURCE_DIR}/src/ComponentRuntime/ComponentModel.h
  DESTINATION ${ZENTORA_INCLUDE_ROOT}/ComponentRuntime COMPONENT dev)

# find_package(ZentoraExcel): the exported targets ZentoraExcel::spreadsheet, ::component, ::host
# and ::runtime, and the imported targets of the libraries they link.
install(EXPORT ZentoraExcelTargets NAMESPACE ZentoraExcel:: DESTINATION ${ZENTORA_CMAKE_DIR}
  COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ZentoraExcelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/ZentoraExcelConfig.cmake INSTALL_DESTINATION ${ZENTORA_CMAKE_DIR})
# Before 1.0 a minor version may change the interfaces.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ZentoraExcelConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ZentoraExcelConfig.cmake
  ${PROJECT_BINARY_DIR}/ZentoraExcelConfigVersion.cmake
  DESTINATION ${ZENTORA_CMAKE_DIR} COMPONENT dev)

# pkg-config finds the prefix from the file's own place, so the file is right wherever the tree
# is installed (cmake --install --prefix, or the Debian package's /usr).
file(RELATIVE_PATH ZENTORA_PC_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" ZENTORA_PC_PREFIX "${ZENTORA_PC_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/zentora-excel.pc.in ${PROJECT_BINARY_DIR}/zentora-excel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zentora-excel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT dev)

# cpack -G DEB: zentora-excel and zentora-excel-dev. The first line of each description is the
# package's synopsis.
set(CPACK_PACKAGE_NAME zentora-excel)
set(CPACK_PACKAGE_VENDOR "ZentoraExcel developers")
set(CPACK_PACKAGE_CONTACT "ZentoraExcel developers <zentora-excel@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime dev)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME zentora-excel)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION utils)
# The command line's and libZentoraExcel.so's library packages, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
string(CONCAT CPACK_DEBIAN_RUNTIME_DESCRIPTION
  "command line for the records of a store kept in an .xlsx workbook\n"
  "zentora-excel lists, reads, changes, adds, deletes, exports and imports the records of\n"
  "a store kept in an .xlsx workbook, one row per record with the headings in row 1,\n"
  "through the ZentoraExcel component. Parts of the workbook it does not change are\n"
  "written back as they were. Also contains libZentoraExcel.so, the component as a host\n"
  "loads it.")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME zentora-excel-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# What the static libraries link and their headers include, as ZentoraExcelConfig.cmake and
# zentora-excel.pc look for them.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
  "libzip-dev, libexpat1-dev, libpugixml-dev, libicu-dev, libisal-dev, pkg-config")
string(CONCAT CPACK_DEBIAN_DEV_DESCRIPTION
  "ZentoraExcel component, spreadsheet engine and host library - development files\n"
  "Headers, static libraries, a CMake package (find_package(ZentoraExcel)) and a pkg-config\n"
  "file (zentora-excel) for programs that keep records in .xlsx workbooks through the\n"
  "ZentoraExcel component or use its spreadsheet engine directly.")
if(ZENTORA_BUILD_PYTHON)
  list(APPEND CPACK_COMPONENTS_ALL python)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-zentora-excel)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3 (>= ${Python_VERSION_MAJOR}.${Python_VERSION_MINOR})")
  string(CONCAT CPACK_DEBIAN_PYTHON_DESCRIPTION
    "Python module for the records of a store kept in an .xlsx workbook\n"
    "zentora_excel opens a store kept in an .xlsx workbook as a context manager that saves\n"
    "on a normal exit and discards its changes on an exception; items give their fixed\n"
    "fields as attributes and their data fields as a mapping.")
endif()
include(CPack)
