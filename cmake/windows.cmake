# Windows: icons, version information and manifests in the programs, wide
# command lines, and the tests that only mean something there.
enable_language(RC)
set(mervane_version_defines
  MERVANE_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  MERVANE_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  MERVANE_VERSION_REVISION=${PROJECT_VERSION_PATCH})
# What the resource files include; windres reports no dependencies itself.
set(mervane_resource_files
  ${PROJECT_SOURCE_DIR}/src/shell/mervane-common.rci
  ${PROJECT_SOURCE_DIR}/src/shell/mervane.ico
  ${PROJECT_SOURCE_DIR}/src/shell/mervane.manifest)

# The converter's entry point is wmain: arguments arrive in UTF-16.
target_sources(mervane-convert PRIVATE src/cli/mervane-convert.rc)
target_link_options(mervane-convert PRIVATE -municode)
set_source_files_properties(src/cli/mervane-convert.rc PROPERTIES
  COMPILE_DEFINITIONS "${mervane_version_defines}"
  INCLUDE_DIRECTORIES "${PROJECT_SOURCE_DIR}/src/shell"
  OBJECT_DEPENDS "${mervane_resource_files}")

if(MERVANE_GUI)
  # A window program: no console opens beside it.
  set_target_properties(mervane PROPERTIES WIN32_EXECUTABLE ON)
  target_sources(mervane PRIVATE src/shell/mervane.rc)
  # The target lives in src/shell, where these properties must be seen.
  set_source_files_properties(src/shell/mervane.rc TARGET_DIRECTORY mervane PROPERTIES
    COMPILE_DEFINITIONS "${mervane_version_defines}"
    INCLUDE_DIRECTORIES "${PROJECT_SOURCE_DIR}/src/shell"
    OBJECT_DEPENDS "${mervane_resource_files}")
endif()

if(MERVANE_TESTS)
  find_package(GTest REQUIRED)
  add_executable(mervane_windows_tests tests/windows_test.cpp)
  target_link_libraries(mervane_windows_tests PRIVATE mervane_test_support mervane_cli GTest::gtest_main version)
  target_compile_definitions(mervane_windows_tests PRIVATE
    MERVANE_CONVERTER="$<TARGET_FILE:mervane-convert>"
    MERVANE_SAMPLES="${PROJECT_SOURCE_DIR}/tests/data"
    ${mervane_version_defines})
  target_sources(mervane_windows_tests PRIVATE tests/output_set.cpp)
  add_dependencies(mervane_windows_tests mervane-convert)
  if(MERVANE_GUI)
    target_compile_definitions(mervane_windows_tests PRIVATE MERVANE_GUI_PROGRAM="$<TARGET_FILE:mervane>")
    add_dependencies(mervane_windows_tests mervane)
  endif()
endif()

if(MERVANE_TESTS AND MERVANE_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(mervane_windows_gui_tests tests/gui/windows_gui_test.cpp tests/gui/gui_support.cpp)
  target_link_libraries(mervane_windows_gui_tests PRIVATE
    mervane_gui mervane_cli mervane_test_support Qt6::Test GTest::gtest)
  target_include_directories(mervane_windows_gui_tests PRIVATE tests/gui)
  target_compile_definitions(mervane_windows_gui_tests PRIVATE
    MERVANE_GUI_FIXTURE_DIRS="${PROJECT_SOURCE_DIR}/examples")
endif()
