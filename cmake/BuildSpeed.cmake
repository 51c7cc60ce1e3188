# Build time: the Qt headers are parsed once per build, not once per file.
#
# Every target that uses Qt Widgets reuses one precompiled header
# (pg_qt_pch), so a build compiles it once; unity builds join a library's
# files in batches; ccache and mold are used where they are installed.

option(PG_PCH "Precompile the Qt headers" ON)
if(PG_FUZZ)
  set(PG_PCH OFF) # clang's fuzz targets link Qt Core alone
endif()
option(PG_UNITY "Join each library's sources in unity batches" ON)

find_program(PG_CCACHE ccache)
if(PG_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  # Precompiled headers need these to be cached at all.
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env
      CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
      ${PG_CCACHE})
endif()

# mold links our fifty programs in a fraction of ld's time.
find_program(PG_MOLD mold)
if(PG_MOLD)
  add_link_options(-fuse-ld=mold)
endif()

if(PG_PCH)
  # Compiled with the flags every Widgets target shares; a header the
  # compiler cannot use is an error, not a silent slow build.
  add_compile_options(-Winvalid-pch)
  add_library(pg_qt_pch OBJECT ${CMAKE_SOURCE_DIR}/cmake/qt_pch.cpp)
  target_link_libraries(pg_qt_pch PRIVATE Qt6::Widgets)
  target_precompile_headers(pg_qt_pch PRIVATE ${CMAKE_SOURCE_DIR}/cmake/qt_pch.h)
endif()

# Every target under tests/ builds with the same Qt modules and definitions,
# so that one precompiled header, QtTest's included, serves them all: QtTest's
# header takes in what the Gui, Widgets and Network modules define, and
# Qt6::Test's own definitions name each target's folders (for QFINDTESTDATA,
# which no test uses), so its library is taken without them.
add_library(pg_test_qt INTERFACE)
get_target_property(PG_QTTEST_INCLUDES Qt6::Test INTERFACE_INCLUDE_DIRECTORIES)
target_include_directories(pg_test_qt SYSTEM INTERFACE ${PG_QTTEST_INCLUDES})
target_compile_definitions(pg_test_qt INTERFACE QT_TESTLIB_LIB)
target_link_libraries(pg_test_qt INTERFACE $<TARGET_FILE:Qt6::Test> Qt6::Widgets Qt6::Network)
if(PG_PCH)
  add_library(pg_test_pch OBJECT ${CMAKE_SOURCE_DIR}/cmake/test_pch.cpp)
  target_link_libraries(pg_test_pch PRIVATE pg_test_qt)
  target_precompile_headers(pg_test_pch PRIVATE ${CMAKE_SOURCE_DIR}/cmake/test_pch.h)
endif()

# Our libraries that bring Qt Widgets (and its compile definitions) along.
set(PG_WIDGETS_LIBS Qt6::Widgets pg_controls pg_serial pg_comm pg_scripting pg_timing pg_panel
    pg_testsupport pg_systemsupport pg_editinput pg_isolation)

# Called once all targets exist: every target built with Qt Widgets reuses
# the one precompiled header; each library is a unity build.
function(pg_speed_up_targets)
  set(dirs ${ARGN})
  while(dirs)
    list(POP_FRONT dirs dir)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    list(APPEND dirs ${subdirs})
    foreach(target ${targets})
      if(target MATCHES "^pg_(qt|test)_pch$")
        continue()
      endif()
      get_target_property(type ${target} TYPE)
      if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|OBJECT_LIBRARY)$")
        continue()
      endif()
      get_target_property(libs ${target} LINK_LIBRARIES)
      set(widgets FALSE)
      foreach(lib ${libs})
        if(lib IN_LIST PG_WIDGETS_LIBS)
          set(widgets TRUE)
        endif()
      endforeach()
      get_target_property(source_dir ${target} SOURCE_DIR)
      if(PG_PCH AND source_dir MATCHES "^${CMAKE_SOURCE_DIR}/tests(/|$)")
        target_precompile_headers(${target} REUSE_FROM pg_test_pch)
        # A test includes its own moc output, which leaves this file all but
        # empty: loading the header would cost more than it saves.
        get_target_property(binary_dir ${target} BINARY_DIR)
        set_source_files_properties(${binary_dir}/${target}_autogen/mocs_compilation.cpp
                                    TARGET_DIRECTORY ${target} PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
      elseif(PG_PCH AND widgets)
        target_precompile_headers(${target} REUSE_FROM pg_qt_pch)
      endif()
      if(PG_UNITY AND type STREQUAL "STATIC_LIBRARY")
        set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
      endif()
    endforeach()
  endwhile()
endfunction()
