# Packs the companion extension for Firefox:
#   cmake -DSOURCE_DIR=browser-extension -DSTAGE_DIR=... -DOUTPUT=quellio-companion.xpi -P ...
# An .xpi is a zip of the extension's folder. Firefox lets an extension hold a request until
# it has decided on it, which the companion uses to keep a new pop-up's first page from being
# requested before Quellio has judged it; that takes the request permissions and access to
# the web's addresses. Chromium-family browsers take blocking request listeners only from
# extensions installed by policy, so the folder they load unpacked asks for neither.
file(READ ${SOURCE_DIR}/manifest.json manifest)
foreach(permission webRequest webRequestBlocking)
    string(JSON count LENGTH "${manifest}" permissions)
    string(JSON manifest SET "${manifest}" permissions ${count} "\"${permission}\"")
endforeach()
string(JSON manifest SET "${manifest}" host_permissions "[\"http://*/*\", \"https://*/*\"]")
file(REMOVE_RECURSE ${STAGE_DIR})
file(MAKE_DIRECTORY ${STAGE_DIR})
file(WRITE ${STAGE_DIR}/manifest.json "${manifest}\n")
file(COPY ${SOURCE_DIR}/background.js DESTINATION ${STAGE_DIR})
execute_process(
    COMMAND ${CMAKE_COMMAND} -E tar cf ${OUTPUT} --format=zip manifest.json background.js
    WORKING_DIRECTORY ${STAGE_DIR}
    COMMAND_ERROR_IS_FATAL ANY)
