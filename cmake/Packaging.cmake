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
    foreach(folder \"\${root}/etc/chromium/native-messaging-hosts\"
                   \"\${root}/etc/opt/chrome/native-messaging-hosts\"
                   \"\${root}/etc/opt/edge/native-messaging-hosts\" \"\${mozilla}\")
        set(file \"\$ENV{DESTDIR}\${folder}/io.github.quellio.bridge.json\")
        message(STATUS \"Installing: \${file}\")
        if(folder STREQUAL mozilla)
            file(WRITE \"\${file}\" \"\${firefox}\")
        else()
            file(WRITE \"\${file}\" \"\${chromium}\")
        endif()
        list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${file}\")
    endforeach()")

# The companion extension for users to add to their browsers: the folder that Chromium-family
# browsers load unpacked, and the add-on packed for Firefox.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/browser-extension/
    DESTINATION ${CMAKE_INSTALL_DATADIR}/quellio/browser-extension)
install(FILES ${QUELLIO_BIN_DIR}/quellio-companion.xpi DESTINATION ${CMAKE_INSTALL_DATADIR}/quellio)
