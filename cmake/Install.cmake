# Quillmar installed as a desktop program, and its Debian package:
#
#   cmake --install build --prefix DIR    DIR/bin/quillmar, DIR/bin/quillmar-sim,
#                                         DIR/share/quillmar/Boat/*.shp, desktop entry,
#                                         icons, AppStream metadata, manual pages, udev example
#   cd build && cpack -G DEB              quillmar_1.0_amd64.deb (installed under /usr)
#
# The program finds its vessel outlines at <bin>/../share/quillmar/Boat
# (CShipShapeDlg::ShapeFolderBeside), so every folder here stays relative to the one prefix.

set(QUILLMAR_APP_ID org.quillmar.Quillmar)
set(QUILLMAR_PACKAGING_DIR ${CMAKE_CURRENT_SOURCE_DIR}/packaging)

# Manual pages written from the programs' own --help (cmake/HelpToMan.cmake).
set(QUILLMAR_MAN_PAGES "")
function(quillmar_man_page target summary see_also)
  set(page ${CMAKE_BINARY_DIR}/man/${target}.1)
  set(extra_file ${QUILLMAR_PACKAGING_DIR}/${target}-files.roff)
  set(extra "")
  if(EXISTS ${extra_file})
    set(extra -DEXTRA=${extra_file})
  else()
    set(extra_file "")
  endif()
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DSUMMARY=${summary}
      "-DSOURCE=Quillmar ${PROJECT_VERSION}" -DSEE_ALSO=${see_also} ${extra} -DOUTPUT=${page}
      -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/HelpToMan.cmake
    DEPENDS ${target} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/HelpToMan.cmake ${extra_file}
    COMMENT "Manual page of ${target} from its --help"
    VERBATIM)
  set(QUILLMAR_MAN_PAGES ${QUILLMAR_MAN_PAGES} ${page} PARENT_SCOPE)
endfunction()
quillmar_man_page(quillmar "monitor and record a dual-antenna GNSS attitude instrument"
  "quillmar-sim(1)")
quillmar_man_page(quillmar-sim "a simulated GNSS attitude instrument on a pseudo-terminal"
  "quillmar(1)")
add_custom_target(quillmar_man ALL DEPENDS ${QUILLMAR_MAN_PAGES})

install(TARGETS quillmar quillmar-sim RUNTIME DESTINATION bin)
install(FILES ${QUILLMAR_BOAT_FILES} DESTINATION share/quillmar/Boat)
install(FILES ${QUILLMAR_PACKAGING_DIR}/${QUILLMAR_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${QUILLMAR_PACKAGING_DIR}/${QUILLMAR_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES res/icons/quillmar.svg DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES res/icons/quillmar-${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME quillmar.png)
endforeach()
install(FILES ${QUILLMAR_MAN_PAGES} DESTINATION share/man/man1)
install(FILES README.md ${QUILLMAR_PACKAGING_DIR}/99-quillmar-gnss.rules
  DESTINATION share/doc/quillmar)
# The headless service: its unit (not enabled) and the settings file it begins with, which
# the package copies to /etc/quillmar/quillmar.ini when there is none (the operator's own
# is never replaced).
install(FILES ${QUILLMAR_PACKAGING_DIR}/quillmar.service DESTINATION lib/systemd/system)
install(FILES ${QUILLMAR_PACKAGING_DIR}/quillmar.ini DESTINATION share/quillmar)

# The Debian package. Its library dependencies come from dpkg-shlibdeps (dpkg-dev); what the
# program loads at run time without linking is named here: the window system plug-ins and a
# font with the Chinese characters of the user interface.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmar)
set(CPACK_PACKAGE_VENDOR "Quillmar Solution")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor and record a dual-antenna GNSS attitude instrument")
set(CPACK_PACKAGE_DESCRIPTION
  "Quillmar reads a dual-antenna GNSS attitude instrument on a serial line and shows the
vessel's heading, pitch and roll on dials and as live curves. Every message received is
recorded unchanged with the time it arrived, an alarm sounds when pitch or roll goes beyond
the operator's limits, and recorded attitude files can be analysed as curves. The user
interface is in Simplified Chinese. The package also holds quillmar-sim, a simulated
instrument on a pseudo-terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(QUILLMAR_DEB_MAINTAINER "Quillmar Solution <packages@quillmar.org>"
  CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUILLMAR_DEB_MAINTAINER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps finds the Qt libraries the program links (libqt6httpserver6 and
# libqt6websockets6 for the browser view among them).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-wqy-microhei | fonts-noto-cjk")
# Chinese texts of Qt's own dialogs (file, print, message box buttons), and the Wayland
# plug-in (libqt6gui6 carries only xcb and offscreen: without it a Wayland desktop runs the
# program through XWayland).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-wayland")
# The service's user (in group dialout) and its records' folder, made on installation; the
# unit stays disabled until the operator enables it.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${QUILLMAR_PACKAGING_DIR}/postinst ${QUILLMAR_PACKAGING_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

if(QUILLMAR_TESTS)
  # The install tree and the package, each built in a temporary folder and looked through.
  add_test(NAME install_tree
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/tests/install/install_tree.sh ${CMAKE_BINARY_DIR}
      ${CMAKE_COMMAND})
  set_tests_properties(install_tree PROPERTIES LABELS install TIMEOUT 120)
  add_test(NAME deb_package
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/tests/install/deb_package.sh ${CMAKE_BINARY_DIR}
      ${CMAKE_CPACK_COMMAND})
  set_tests_properties(deb_package PROPERTIES LABELS package TIMEOUT 180)
endif()
