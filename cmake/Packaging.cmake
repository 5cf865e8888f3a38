# What `cmake --install` puts on a system, and the Debian package made of it with
# `cpack -G DEB`. Included once, at the end of the top-level build file, when every target
# is known.
include(GNUInstallDirs)

# The virtual unit ships beside the program, so a machine with no caption unit can still
# try the program out.
if(TARGET tessora-unit)
    install(TARGETS tessora-unit RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(tessora_packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
if(TARGET tessora)
    install(FILES ${tessora_packaging_dir}/tessora.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    # Drawn by tools/draw_icon.py.
    foreach(size 32 48 64 128 256)
        install(FILES ${tessora_packaging_dir}/icons/tessora-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME tessora.png)
    endforeach()
endif()

# The package is built from the program and the unit alone: installing must not first
# build every test and benchmark of the tree.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tessora developers")
set(CPACK_PACKAGE_CONTACT "Tessora developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "caption composer for serial video caption units")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tessora composes up to four screens of caption text, each with a date stamp and a\n"
    "time stamp in a chosen corner, and sends the current screen over a serial line\n"
    "(9600 baud) to a caption unit that keys the text into live video. While it runs\n"
    "it rewrites the stamps every second. Screens are saved as .tso files.\n"
    "\n"
    "The package also holds tessora-unit, a virtual caption unit on a\n"
    "pseudo-terminal, to try the program with no unit attached.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tessora developers")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps. The fonts do not show up there: the pages ask
# for Arial and Lucida Console by name, and fontconfig substitutes these metric-compatible
# ones.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, fonts-dejavu-core")

include(CPack)
