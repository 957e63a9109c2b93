# Where Quellio's files go. The program looks for its wizard library, its help and its tips
# beside the file it runs from (/proc/self/exe, which resolves links). So in the build tree
# they all sit in QUELLIO_BIN_DIR, and once installed in a folder of their own below the
# library folder, with a link to the program in bin, as browsers are installed.
include(GNUInstallDirs)
set(QUELLIO_INSTALL_PKGLIBDIR ${CMAKE_INSTALL_LIBDIR}/quellio)

set(QUELLIO_HELP ${PROJECT_SOURCE_DIR}/res/help/Quellio.html)
add_custom_command(OUTPUT ${QUELLIO_BIN_DIR}/Quellio.html
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QUELLIO_HELP} ${QUELLIO_BIN_DIR}/Quellio.html
    DEPENDS ${QUELLIO_HELP}
    COMMENT "Copying the help beside the executable")
add_custom_target(quellio_help ALL DEPENDS ${QUELLIO_BIN_DIR}/Quellio.html)

set(QUELLIO_TIPS ${PROJECT_SOURCE_DIR}/res/tips.txt)
add_custom_command(OUTPUT ${QUELLIO_BIN_DIR}/tips.txt
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QUELLIO_TIPS} ${QUELLIO_BIN_DIR}/tips.txt
    DEPENDS ${QUELLIO_TIPS}
    COMMENT "Copying the tips of the day beside the executable")
add_custom_target(quellio_tips ALL DEPENDS ${QUELLIO_BIN_DIR}/tips.txt)

install(TARGETS wizard LIBRARY DESTINATION ${QUELLIO_INSTALL_PKGLIBDIR})
install(FILES ${QUELLIO_HELP} ${QUELLIO_TIPS} DESTINATION ${QUELLIO_INSTALL_PKGLIBDIR})

install(FILES ${PROJECT_SOURCE_DIR}/res/io.github.quellio.Quellio.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/res/io.github.quellio.Quellio.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The program itself, with a link in bin. It loads libwizard.so by its full path beside
# the executable, so it needs no library path of its own.
install(TARGETS quellio RUNTIME DESTINATION ${QUELLIO_INSTALL_PKGLIBDIR})
file(RELATIVE_PATH QUELLIO_LINK_TARGET /prefix/${CMAKE_INSTALL_BINDIR}
    /prefix/${QUELLIO_INSTALL_PKGLIBDIR}/quellio)
install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quellio\")
    message(STATUS \"Installing: \${link}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(CREATE_LINK \"${QUELLIO_LINK_TARGET}\" \"\${link}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${link}\")")

# The program's icon in the hicolor theme, under the application id.
foreach(size 16 22 32 48)
    install(FILES ${PROJECT_SOURCE_DIR}/res/icons/quellio-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
        RENAME io.github.quellio.Quellio.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/res/icons/quellio.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    RENAME io.github.quellio.Quellio.svg)

# The native messaging host beside the program, and its manifests for every user of the
# system in the folders the browsers read: under /etc (and Firefox's /usr/lib/mozilla) when
# installed into /usr or /usr/local, else under the prefix, so that an installation into a
# private prefix stays inside it. The manifests are written at install time, since they name
# the bridge by its installed path.
set(QUELLIO_HOST_MANIFEST io.github.quellio.bridge.json)
set(QUELLIO_ETC_HOST_FOLDERS etc/chromium/native-messaging-hosts
    etc/opt/chrome/native-messaging-hosts etc/opt/edge/native-messaging-hosts)
install(TARGETS quellio-bridge RUNTIME DESTINATION ${QUELLIO_INSTALL_PKGLIBDIR})
install(CODE "
    set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
    if(prefix STREQUAL \"/usr\" OR prefix STREQUAL \"/usr/local\")
        set(root \"\")
        set(mozilla /usr/lib/mozilla/native-messaging-hosts)
    else()
        set(root \"\${prefix}\")
        set(mozilla \"\${prefix}/lib/mozilla/native-messaging-hosts\")
    endif()
    set(bridge \"\${prefix}/${QUELLIO_INSTALL_PKGLIBDIR}/quellio-bridge\")
    set(head \"{\\n  \\\"name\\\": \\\"io.github.quellio.bridge\\\",\\n  \\\"description\\\": \\\"Quellio's link to its companion extension\\\",\\n  \\\"path\\\": \\\"\${bridge}\\\",\\n  \\\"type\\\": \\\"stdio\\\",\\n\")
    set(chromium \"\${head}  \\\"allowed_origins\\\": [\\n    \\\"chrome-extension://${QUELLIO_CHROMIUM_EXTENSION_ID}/\\\"\\n  ]\\n}\\n\")
    set(firefox \"\${head}  \\\"allowed_extensions\\\": [\\n    \\\"${QUELLIO_FIREFOX_ADDON_ID}\\\"\\n  ]\\n}\\n\")
    set(folders)
    foreach(folder ${QUELLIO_ETC_HOST_FOLDERS})
        list(APPEND folders \"\${root}/\${folder}\")
    endforeach()
    foreach(folder \${folders} \"\${mozilla}\")
        set(file \"\$ENV{DESTDIR}\${folder}/${QUELLIO_HOST_MANIFEST}\")
        message(STATUS \"Installing: \${file}\")
        if(folder STREQUAL mozilla)
            file(WRITE \"\${file}\" \"\${firefox}\")
        else()
            file(WRITE \"\${file}\" \"\${chromium}\")
        endif()
        list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${file}\")
    endforeach()")

# The companion extension, for users to add to their browsers: the folder that
# Chromium-family browsers load unpacked, and the package Firefox installs from a file.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/browser-extension/
    DESTINATION ${CMAKE_INSTALL_DATADIR}/quellio/browser-extension)
install(FILES ${QUELLIO_BIN_DIR}/quellio-companion.xpi DESTINATION ${CMAKE_INSTALL_DATADIR}/quellio)

# The manual pages, compressed as the system keeps them.
set(manpages)
foreach(page quellio.1 quellio-browser.1)
    set(manpage ${PROJECT_BINARY_DIR}/man/${page})
    add_custom_command(OUTPUT ${manpage}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/res/man/${page} ${manpage}
        COMMAND gzip -9nf ${manpage}
        DEPENDS ${PROJECT_SOURCE_DIR}/res/man/${page}
        COMMENT "Compressing the manual page ${page}" VERBATIM)
    list(APPEND manpages ${manpage}.gz)
endforeach()
add_custom_target(quellio_manpages ALL DEPENDS ${manpages})
install(FILES ${manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package's own files: the copyright, the changelog written from the release
# notes of the AppStream metadata, and the reasons for what lintian would flag.
set(QUELLIO_MAINTAINER "The Quellio developers <support@quellio.example>")
set(QUELLIO_METAINFO ${PROJECT_SOURCE_DIR}/res/io.github.quellio.Quellio.metainfo.xml)
set(changelog_script ${PROJECT_SOURCE_DIR}/scripts/debian-changelog.py)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
    COMMAND ${changelog_script} ${QUELLIO_METAINFO} ${PROJECT_VERSION} "${QUELLIO_MAINTAINER}"
            ${PROJECT_BINARY_DIR}/changelog.gz
    DEPENDS ${QUELLIO_METAINFO} ${changelog_script}
    COMMENT "Writing the changelog from the release notes" VERBATIM)
add_custom_target(quellio_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/res/debian/copyright ${PROJECT_BINARY_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quellio)
install(FILES ${PROJECT_SOURCE_DIR}/res/debian/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME quellio)

# `make package`: a .deb of the install tree into /usr, named quellio_VERSION_ARCH.deb, whose
# dependencies dpkg-shlibdeps reads from the binaries. CPack installs into /usr under a
# staging folder (DESTDIR), so the host manifests take their system-wide places and name the
# bridge by its installed path.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quellio)
set(CPACK_PACKAGE_CONTACT ${QUELLIO_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pop-up killer and browser privacy cleaner")
set(CPACK_PACKAGE_DESCRIPTION "\
Quellio sits in the system tray and closes the pop-up windows of your web
browsers, and the pages on your black list, as soon as they open. A privacy
cleaner erases the browsers' cookies, cache and history, your bookmarks and
the list of recent documents.

It sees the browsers you use every day (Chromium, Google Chrome, Brave,
Microsoft Edge, Vivaldi, Firefox ESR) through its companion extension,
installed under /usr/share/quellio, and Chromium-family browsers started with
remote debugging on the loopback interface, such as those that quellio-browser
starts.")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quellio.github.io/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Opening the help and the links of the main window.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The host manifests under /etc are the administrator's to change, and an upgrade keeps
# such changes.
set(conffiles "")
foreach(folder ${QUELLIO_ETC_HOST_FOLDERS})
    string(APPEND conffiles "/${folder}/${QUELLIO_HOST_MANIFEST}\n")
endforeach()
file(WRITE ${PROJECT_BINARY_DIR}/debian/conffiles "${conffiles}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
