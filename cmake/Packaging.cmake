# What `cmake --install` puts on a system, and the Debian package made of it with
# `cpack -G DEB`. Included once, at the end of the top-level build file, when every target
# is known.
include(GNUInstallDirs)

set(tessora_packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(tessora_generated_dir ${PROJECT_BINARY_DIR}/packaging)
set(TESSORA_PACKAGE_MAINTAINER "Tessora developers <tessora@example.org>" CACHE STRING
    "Maintainer of the Debian package, as Name <address>; also signs its changelog")

# Manual pages and the changelog ship compressed as Debian expects: gzip -9 without a name or
# time stamp, so the same sources always give the same bytes.
find_program(TESSORA_GZIP gzip REQUIRED)
# The compilers' version notes serve nobody in an installed program; Debian's own packages
# drop them as they strip.
function(tessora_install_program target)
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    set(installed "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${target}")
    install(CODE "execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment
                                  \"${installed}\" COMMAND_ERROR_IS_FATAL ANY)")
endfunction()
function(tessora_gzip source target)
    execute_process(COMMAND ${TESSORA_GZIP} -9 -n -c ${source}
                    OUTPUT_FILE ${target} COMMAND_ERROR_IS_FATAL ANY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()
file(MAKE_DIRECTORY ${tessora_generated_dir})
# A program's manual page, packaging/man/<name>.1, in section 1.
function(tessora_install_manual name)
    tessora_gzip(${tessora_packaging_dir}/man/${name}.1 ${tessora_generated_dir}/${name}.1.gz)
    install(FILES ${tessora_generated_dir}/${name}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

# The virtual unit ships beside the program, so a machine with no caption unit can still
# try the program out.
if(TARGET tessora-unit)
    tessora_install_program(tessora-unit)
    tessora_install_manual(tessora-unit)
endif()

# Sending from scripts needs no display and no window.
if(TARGET tessora-send)
    tessora_install_program(tessora-send)
    tessora_install_manual(tessora-send)
endif()

if(TARGET tessora)
    tessora_install_program(tessora)
    # The desktop entry opens a .tso given by the file manager; the MIME type is known by the
    # file's name alone, and its icon is the sheet drawn beside the program's own.
    install(FILES ${tessora_packaging_dir}/tessora.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${tessora_packaging_dir}/tessora-mime.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME tessora.xml)
    # Drawn by tools/draw_icon.py.
    foreach(size 32 48 64 128 256)
        install(FILES ${tessora_packaging_dir}/icons/tessora-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME tessora.png)
        install(FILES ${tessora_packaging_dir}/icons/tessora-file-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/mimetypes
                RENAME application-x-tessora-screens.png)
    endforeach()
    install(FILES ${tessora_packaging_dir}/com.halvercrest.tessora.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    tessora_install_manual(tessora)
endif()

# The changelog's newest entry and the software centre's newest release must be this
# version: a package that says otherwise would be stopped here, not by its users.
file(STRINGS ${tessora_packaging_dir}/changelog.in tessora_changelog_top LIMIT_COUNT 1)
file(READ ${tessora_packaging_dir}/com.halvercrest.tessora.metainfo.xml tessora_metainfo)
if(NOT tessora_changelog_top MATCHES "^tessora \\(${PROJECT_VERSION}\\) "
   OR NOT tessora_metainfo MATCHES "<release version=\"${PROJECT_VERSION}\"")
    message(FATAL_ERROR "packaging/changelog.in and the metainfo file need an entry for "
                        "version ${PROJECT_VERSION}")
endif()
configure_file(${tessora_packaging_dir}/changelog.in ${tessora_generated_dir}/changelog @ONLY)
tessora_gzip(${tessora_generated_dir}/changelog ${tessora_generated_dir}/changelog.gz)
install(FILES ${tessora_generated_dir}/changelog.gz ${tessora_packaging_dir}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessora)

# What ships is hardened as Debian hardens its own packages: checked string and memory
# calls, a stack protector, and relocations bound at start and then read-only. That covers
# the two programs and every library of ours linked into them, in optimised builds without
# a sanitizer (which brings checks of its own).
if(CMAKE_BUILD_TYPE STREQUAL "Release" AND TESSORA_SANITIZE STREQUAL "")
    set(tessora_to_harden tessora tessora-unit tessora-send)
    set(tessora_hardened)
    while(tessora_to_harden)
        list(POP_FRONT tessora_to_harden target)
        if(NOT TARGET ${target} OR target IN_LIST tessora_hardened)
            continue()
        endif()
        get_target_property(imported ${target} IMPORTED)
        get_target_property(type ${target} TYPE)
        if(imported OR type STREQUAL "INTERFACE_LIBRARY")
            continue()
        endif()
        list(APPEND tessora_hardened ${target})
        target_compile_options(${target} PRIVATE
            -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong)
        if(type STREQUAL "EXECUTABLE")
            target_link_options(${target} PRIVATE -Wl,-z,relro -Wl,-z,now)
        endif()
        get_target_property(libraries ${target} LINK_LIBRARIES)
        if(libraries)
            list(APPEND tessora_to_harden ${libraries})
        endif()
    endwhile()
endif()

# The package is built from the programs alone: installing must not first
# build every test and benchmark of the tree.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tessora developers")
set(CPACK_PACKAGE_CONTACT ${TESSORA_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "caption composer for serial video caption units")
# Lines of at most 80 characters, as Debian's tools show them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tessora composes up to four screens of caption text, each with a date stamp\n"
    "and a time stamp in a chosen corner, and sends the current screen over a\n"
    "serial line (9600 baud) to a caption unit that keys the text into live video.\n"
    "While it runs it rewrites the stamps every second. Screens are saved as .tso\n"
    "files.\n"
    "\n"
    "The package also holds tessora-send, which sends a screen from a script\n"
    "without the window, and tessora-unit, a virtual caption unit on a\n"
    "pseudo-terminal, to try the program with no unit attached.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TESSORA_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps. The fonts do not show up there: the pages ask
# for Arial and Lucida Console by name, and fontconfig substitutes these metric-compatible
# ones.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, fonts-dejavu-core")

include(CPack)
