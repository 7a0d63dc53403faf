# The desktop integration files and the Debian package.

set(SMARTCAR_APP_ID org.smartcar_console.SmartcarConsole)

# Whoever publishes a package puts their own name and address here (or in DEBFULLNAME and
# DEBEMAIL, as for other Debian tools). The default names the developers at a reserved domain
# that reaches nobody: there is no maintainer address yet, and none is made up.
if(DEFINED ENV{DEBFULLNAME} AND DEFINED ENV{DEBEMAIL})
    set(maintainer_default "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
else()
    set(maintainer_default "smartcar-console developers <nobody@smartcar-console.invalid>")
endif()
set(SMARTCAR_PACKAGE_MAINTAINER "${maintainer_default}"
    CACHE STRING "The package's Maintainer field: Name <address>")

if(UNIX AND NOT APPLE)
    # The metainfo's release is the version the program is built as.
    configure_file(${PROJECT_SOURCE_DIR}/data/${SMARTCAR_APP_ID}.metainfo.xml.in
                   ${PROJECT_BINARY_DIR}/data/${SMARTCAR_APP_ID}.metainfo.xml @ONLY)

    install(FILES ${PROJECT_SOURCE_DIR}/data/${SMARTCAR_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_BINARY_DIR}/data/${SMARTCAR_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${PROJECT_SOURCE_DIR}/data/icons/${SMARTCAR_APP_ID}.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
            DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
    # The status bar and the technical-support window send the operator here for help.
    install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/README.zh-CN.md
            DESTINATION ${CMAKE_INSTALL_DOCDIR})

    # Debian wants the changelog and the manual pages compressed with gzip -9n (no file name
    # or time stamp in the gzip header). They are compressed as part of the build, so a page
    # that cannot be made fails the build rather than going missing from the package; without
    # gzip the build does not even configure. The changelog's date honours SOURCE_DATE_EPOCH.
    find_program(SMARTCAR_GZIP gzip REQUIRED)

    string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
    file(WRITE ${PROJECT_BINARY_DIR}/doc/changelog
         "smartcar-console (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
         "  * Release ${PROJECT_VERSION}; see the README for what the console does.\n\n"
         " -- ${SMARTCAR_PACKAGE_MAINTAINER}  ${changelog_date}\n")
    set(compressed ${PROJECT_BINARY_DIR}/doc/changelog.gz)
    install(FILES ${PROJECT_BINARY_DIR}/doc/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

    set(SMARTCAR_DOC_DIR ${CMAKE_INSTALL_FULL_DOCDIR})
    foreach(page smartcar-console.1 smartcar-sim.1)
        configure_file(${PROJECT_SOURCE_DIR}/data/man/${page}.in
                       ${PROJECT_BINARY_DIR}/man/${page} @ONLY)
        list(APPEND compressed ${PROJECT_BINARY_DIR}/man/${page}.gz)
        install(FILES ${PROJECT_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endforeach()

    foreach(gz ${compressed})
        string(REGEX REPLACE "[.]gz$" "" plain ${gz})
        # -k keeps the plain file, which configure_file rewrites only when its text changes.
        add_custom_command(OUTPUT ${gz}
                           COMMAND ${SMARTCAR_GZIP} -9nkf ${plain}
                           DEPENDS ${plain}
                           COMMENT "Compressing ${plain}"
                           VERBATIM)
    endforeach()
    add_custom_target(smartcar-docs ALL DEPENDS ${compressed})
endif()

set(CPACK_PACKAGE_NAME smartcar-console)
set(CPACK_PACKAGE_VENDOR "smartcar-console developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console to drive a small model car over a serial radio link")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SMARTCAR_PACKAGE_MAINTAINER}")
# The libraries come from dpkg-shlibdeps, to which CPack adds the Depends below: Qt's Chinese
# catalogues, so that a box's button reads 确定 rather than OK. A Chinese face is no library, and
# without one the whole interface shows as empty boxes.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-zenhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# CPack puts the summary above this as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A desktop console, in Chinese, for the operator of a small wheeled model car
that talks to the computer through a serial radio adapter (9600 baud, 8N1).
It opens one of twenty listed ports, drives the car with one- and two-byte
command frames, shows the speed the car sends back and lights an alarm lamp.
.
smartcar-sim, a simulated car on a pseudo-terminal, comes with it, so the
console can be tried without the car.")
include(CPack)
