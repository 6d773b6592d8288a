# Precompiled headers: the Qt and standard headers most files read, compiled once per build tree and
# reused by every target that fits. A file still includes what it uses: clang-tidy reads each file
# without them (scripts/check-tidy.sh), so an include left out fails there.
# With -Winvalid-pch (CMake adds it) and -Werror, a target the header does not fit fails to build
# instead of silently compiling slower.

# kr5m_pch_target(<name> LIBS <targets...> HEADERS <headers...> [OPTIONS <flags...>])
# A library whose only work is the precompiled header, for other targets to reuse.
function(kr5m_pch_target name)
  cmake_parse_arguments(P "" "" "LIBS;HEADERS;OPTIONS" ${ARGN})
  # Written only when it differs, so that configuring again rebuilds nothing.
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/${name}.cpp CONTENT "// The precompiled header's own translation unit.\n")
  add_library(${name} STATIC ${CMAKE_BINARY_DIR}/${name}.cpp)
  target_link_libraries(${name} PRIVATE ${P_LIBS})
  target_compile_options(${name} PRIVATE ${P_OPTIONS})
  target_precompile_headers(${name} PRIVATE ${P_HEADERS})
endfunction()

# The program's, the tools' and the benchmarks' headers: what nearly every file reads, and for the
# targets that link Qt Widgets the widgets the windows are made of. Two headers, because reading the
# widgets' half costs a file that needs none of it more than it saves.
set(KR5M_CORE_PCH_HEADERS
  <QString> <QStringList> <QByteArray> <QList> <QHash> <QMap> <QSet> <QVariant> <QObject> <QPointer>
  <QFile> <QFileInfo> <QDir> <QSaveFile> <QTextStream> <QCoreApplication> <QJsonArray> <QJsonObject>
  <QJsonDocument> <QRegularExpression> <QDateTime> <QTimer> <QLocale>
  <algorithm> <array> <cmath> <functional> <limits> <map> <memory> <optional> <set> <string> <utility> <vector>)
kr5m_pch_target(kr5m_core_pch LIBS Qt6::Core HEADERS ${KR5M_CORE_PCH_HEADERS})
kr5m_pch_target(kr5m_widgets_pch LIBS Qt6::Widgets HEADERS ${KR5M_CORE_PCH_HEADERS}
  <QApplication> <QWidget> <QLabel> <QPushButton> <QComboBox> <QLineEdit> <QTabWidget> <QVBoxLayout>
  <QPainter> <QScreen> <QStyle>)

# kr5m_reuse_program_pch(<folder>...)
# Every target defined in the given top-level folders (src, tools, ...) or below them that compiles C++
# and links a library reuses kr5m_widgets_pch when it links Qt Widgets itself, kr5m_core_pch otherwise.
# A target that links nothing (plain C++) is left alone: it is compiled without Qt's flags.
function(kr5m_reuse_program_pch)
  list(TRANSFORM ARGN PREPEND "^${CMAKE_SOURCE_DIR}/" OUTPUT_VARIABLE prefixes)
  list(TRANSFORM prefixes APPEND "(/|$)")
  list(JOIN prefixes "|" wanted)
  get_property(folders DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY SUBDIRECTORIES)
  while(folders)
    list(POP_FRONT folders folder)
    get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    list(APPEND folders ${subfolders})
    if(NOT folder MATCHES "${wanted}")
      continue()
    endif()
    get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
      get_target_property(type ${target} TYPE)
      get_target_property(sources ${target} SOURCES)
      get_target_property(libs ${target} LINK_LIBRARIES)
      list(FILTER sources INCLUDE REGEX "\\.cpp$")
      if(NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$"
         OR NOT sources OR NOT libs)
        continue()
      elseif("Qt6::Widgets" IN_LIST libs)
        target_precompile_headers(${target} REUSE_FROM kr5m_widgets_pch)
      else()
        target_precompile_headers(${target} REUSE_FROM kr5m_core_pch)
      endif()
    endforeach()
  endwhile()
endfunction()
