# Installs the build into a scratch prefix and checks that everything a desktop looks for lands
# where it looks, with the entries that make "Open With Quillory" work.
# cmake -DBUILD_DIR=... -DPREFIX=... -P check_install.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

set(expected
  bin/quillory
  libexec/quillory/quillory-tray
  share/applications/org.quillory.Quillory.desktop
  share/metainfo/org.quillory.Quillory.metainfo.xml
  share/icons/hicolor/scalable/apps/org.quillory.Quillory.svg
  share/icons/hicolor/scalable/status/quillory-status-symbolic.svg
  share/quillory/autostart/org.quillory.Quillory.desktop
  "share/quillory/file-managers/Show in Quillory"
  share/quillory/file-managers/thunar-uca.xml
  share/kio/servicemenus/quillory-servicemenu.desktop
  share/man/man1/quillory.1)
foreach(size 16 22 24 32 48 64 128 256)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/org.quillory.Quillory.png)
endforeach()
foreach(file IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

file(READ "${PREFIX}/share/applications/org.quillory.Quillory.desktop" entry)
foreach(line "Exec=quillory -- %U" "MimeType=image/jpeg;image/x-canon-cr2;" "Icon=org.quillory.Quillory")
  string(FIND "${entry}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the .desktop entry lacks ${line}")
  endif()
endforeach()
execute_process(COMMAND test -x "${PREFIX}/share/quillory/file-managers/Show in Quillory" RESULT_VARIABLE runnable)
if(NOT runnable EQUAL 0)
  message(FATAL_ERROR "the Nautilus/Nemo script is not executable")
endif()
execute_process(COMMAND test -x "${PREFIX}/libexec/quillory/quillory-tray" RESULT_VARIABLE runnable)
if(NOT runnable EQUAL 0)
  message(FATAL_ERROR "the tray program quillory execs is not executable")
endif()
# quillory finds the installed tray program (which then finds no display), and says so when it is gone.
set(ENV{DISPLAY} "")
set(ENV{WAYLAND_DISPLAY} "")
execute_process(COMMAND "${PREFIX}/bin/quillory" -- RESULT_VARIABLE status ERROR_VARIABLE said)
if(NOT status EQUAL 1 OR NOT said MATCHES "no display")
  message(FATAL_ERROR "the installed quillory did not start its tray program: ${status} ${said}")
endif()
file(REMOVE_RECURSE "${PREFIX}.alone")
file(COPY "${PREFIX}/bin/quillory" DESTINATION "${PREFIX}.alone/bin")
execute_process(COMMAND "${PREFIX}.alone/bin/quillory" -- RESULT_VARIABLE status ERROR_VARIABLE said)
if(NOT status EQUAL 1 OR NOT said MATCHES "cannot start the tray program")
  message(FATAL_ERROR "quillory without its tray program: ${status} ${said}")
endif()
# The command line starts fast only while it loads no Qt.
find_program(LDD ldd)
if(LDD)
  execute_process(COMMAND "${LDD}" "${PREFIX}/bin/quillory" OUTPUT_VARIABLE libraries)
  if(libraries MATCHES "libQt")
    message(FATAL_ERROR "bin/quillory loads Qt:\n${libraries}")
  endif()
endif()
message(STATUS "installed as desktops expect it under ${PREFIX}")
