# Precompiled headers. Most of a translation unit's time goes into Qt's headers, parsed again
# for each of the project's ~150 sources. kaldorcore precompiles the QtCore headers and kaldorui
# adds the widgets; every other target reuses the one of its kind, which holds as long as it
# defines what the owner defines (it may define more) and compiles with the same options.
option(KALDOR_PCH "Precompile the Qt headers each target includes most" ON)

set(KALDOR_PCH_CORE
  <QtCore/QByteArray> <QtCore/QCoreApplication> <QtCore/QDir> <QtCore/QElapsedTimer>
  <QtCore/QFile> <QtCore/QFileInfo> <QtCore/QList> <QtCore/QMap> <QtCore/QObject>
  <QtCore/QPointer> <QtCore/QSet> <QtCore/QString> <QtCore/QStringList> <QtCore/QTextStream>
  <QtCore/QThread> <QtCore/QTimer>
  <algorithm> <functional> <memory> <optional> <vector>)
set(KALDOR_PCH_WIDGETS
  <QtGui/QCloseEvent> <QtGui/QKeyEvent> <QtGui/QPainter> <QtWidgets/QApplication>
  <QtWidgets/QComboBox> <QtWidgets/QFormLayout> <QtWidgets/QGridLayout>
  <QtWidgets/QGroupBox> <QtWidgets/QHBoxLayout> <QtWidgets/QHeaderView> <QtWidgets/QLabel>
  <QtWidgets/QLineEdit> <QtWidgets/QListWidget> <QtWidgets/QMainWindow> <QtWidgets/QMenuBar>
  <QtWidgets/QMessageBox> <QtWidgets/QProgressBar> <QtWidgets/QPushButton>
  <QtWidgets/QScrollBar> <QtWidgets/QVBoxLayout> <QtWidgets/QWidget>)

# The tests compile with other options than the library (see kaldor_add_test), so they have
# headers of their own, which add what <QtTest> brings in: the whole QtCore module. QtTest's own
# headers stay out: they read QT_TESTCASE_BUILDDIR and QT_TESTCASE_SOURCEDIR, which Qt6::Test
# defines per test folder, and a header precompiled under one value is refused under another.
set(KALDOR_PCH_TEST <QtCore/QtCore>)

# kaldor_pch(target core|widgets|testcore|testwidgets): kaldorcore and kaldorui make the header
# of their kind, kaldortestpch_core and kaldortestpch_widgets (made by kaldor_add_test) that of
# a test kind; any other target reuses it. A header that cannot be used is an error in a -Werror
# build, so a change that breaks the reuse shows at once instead of slowing the build down.
function(kaldor_pch target kind)
  if(NOT KALDOR_PCH)
    return()
  endif()
  if(kind MATCHES "widgets$")
    set(owner kaldorui)
    set(headers ${KALDOR_PCH_CORE} ${KALDOR_PCH_WIDGETS})
  else()
    set(owner kaldorcore)
    set(headers ${KALDOR_PCH_CORE})
  endif()
  if(kind MATCHES "^test(.*)")
    set(owner kaldortestpch_${CMAKE_MATCH_1})
    list(APPEND headers ${KALDOR_PCH_TEST})
  endif()
  if(target STREQUAL owner)
    target_precompile_headers(${target} PRIVATE ${headers})
  else()
    target_precompile_headers(${target} REUSE_FROM ${owner})
  endif()
  # A program or test keeps its moc output in its own sources, so the file AUTOMOC adds to it
  # is empty: without the header it compiles in no time, with it it costs as much as a source.
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    get_target_property(dir ${target} BINARY_DIR)
    set_source_files_properties(${dir}/${target}_autogen/mocs_compilation.cpp
      TARGET_DIRECTORY ${target} PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
  endif()
  target_compile_options(${target} PRIVATE -Winvalid-pch)
endfunction()

# kaldor_pch_folder(dir): gives every executable and library that the folder and those below it
# define the precompiled header of its kind, from what it links: the widgets' with kaldorui (or
# a library on it), the core's with kaldorcore; one that uses neither, or has a header of its
# own, is left as it is. For folders whose targets are not made by kaldor_add_test.
function(kaldor_pch_folder dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(own ${target} PRECOMPILE_HEADERS)
    get_target_property(reused ${target} PRECOMPILE_HEADERS_REUSE_FROM)
    if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY)$" OR own OR reused)
      continue()
    endif()
    get_target_property(libs ${target} LINK_LIBRARIES)
    if(libs MATCHES "kaldorui|kaldortestsupport")
      kaldor_pch(${target} widgets)
    elseif(libs MATCHES "kaldorcore|kaldorsheet")
      kaldor_pch(${target} core)
    endif()
  endforeach()
  get_property(folders DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(folder IN LISTS folders)
    kaldor_pch_folder(${folder})
  endforeach()
endfunction()
