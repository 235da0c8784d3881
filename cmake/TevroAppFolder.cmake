# The installed application lives in a folder of its own,
# "<prefix>/<TEVRO_INSTALL_APPDIR>": its executable, its helpers, "Info.json"
# and a marker naming the application and every entry the install put there.
# The updater swaps only such a folder, so an update never moves a shared
# prefix. "Info.json" carries the keys the updates backend checks; without a
# feed address and a public key the copy says updates are unavailable.

set(TEVRO_INSTALL_APPDIR "lib/tevro" CACHE STRING
    "Folder of the installed application, made for it alone (relative to the prefix)")
set(TEVRO_BUNDLE_IDENTIFIER "org.tevro.Tevro" CACHE STRING
    "Identifier of the application (CFBundleIdentifier)")
set(TEVRO_BUILD_VERSION "" CACHE STRING
    "Build version that updates compare (CFBundleVersion); empty: the project's version")
set(TEVRO_DISTRIBUTION_CHANNEL "direct" CACHE STRING
    "How this copy is distributed (QuorvelDistributionChannel); updates need \"direct\"")
set(TEVRO_UPDATE_FEED_URL "" CACHE STRING
    "https address of the signed appcast feed (SUFeedURL); empty: no updates")
set(TEVRO_UPDATE_PUBLIC_KEY "" CACHE STRING
    "Base64 Ed25519 public key the feed and archives are signed with (SUPublicEDKey)")
option(TEVRO_UPDATE_AUTOMATIC_CHECKS "Check for updates automatically by default" OFF)

set(TEVRO_APP_FOLDER_MARKER ".quorvel-app-folder")

if(TEVRO_UPDATE_FEED_URL OR TEVRO_UPDATE_PUBLIC_KEY)
    if(NOT TEVRO_UPDATE_FEED_URL OR NOT TEVRO_UPDATE_PUBLIC_KEY)
        message(FATAL_ERROR "TEVRO_UPDATE_FEED_URL and TEVRO_UPDATE_PUBLIC_KEY go together")
    endif()
    if(NOT TEVRO_UPDATE_FEED_URL MATCHES "^https://[^/@#]+")
        message(FATAL_ERROR "TEVRO_UPDATE_FEED_URL must be an https address without user or fragment")
    endif()
    # 32 bytes in standard Base64: 43 characters, the last with its low bits clear, and "=".
    string(LENGTH "${TEVRO_UPDATE_PUBLIC_KEY}" key_length)
    if(NOT key_length EQUAL 44
       OR NOT TEVRO_UPDATE_PUBLIC_KEY MATCHES "^[A-Za-z0-9+/]+[AEIMQUYcgkosw048]=$")
        message(FATAL_ERROR "TEVRO_UPDATE_PUBLIC_KEY must be a Base64 Ed25519 public key (32 bytes); "
            "scripts/make-update key DIR makes one")
    endif()
endif()

function(_tevro_json_string out value)
    string(REPLACE "\\" "\\\\" value "${value}")
    string(REPLACE "\"" "\\\"" value "${value}")
    set(${out} "\"${value}\"" PARENT_SCOPE)
endfunction()

# tevro_install_app_folder(PROGRAM <file> NAME <name> VERSION <shown version>
#                          [HELPERS <file>...] [ENTRIES <name>...] [LINK_IN <folder>])
# Installs PROGRAM as <folder>/NAME and each helper into <folder>/Helpers,
# writes "Info.json" and, at install time, the marker. ENTRIES names what
# else the caller installs into the folder before this call; LINK_IN puts a
# link to the program into that folder of the prefix (for PATH).
function(tevro_install_app_folder)
    cmake_parse_arguments(A "" "PROGRAM;NAME;VERSION;LINK_IN" "HELPERS;ENTRIES" ${ARGN})
    set(build_version "${TEVRO_BUILD_VERSION}")
    if(build_version STREQUAL "")
        set(build_version "${A_VERSION}")
    endif()

    set(info "{}")
    foreach(pair IN ITEMS "CFBundleIdentifier=${TEVRO_BUNDLE_IDENTIFIER}"
            "CFBundleExecutable=${A_NAME}" "CFBundleVersion=${build_version}"
            "CFBundleShortVersionString=${A_VERSION}"
            "QuorvelDistributionChannel=${TEVRO_DISTRIBUTION_CHANNEL}"
            "SUFeedURL=${TEVRO_UPDATE_FEED_URL}" "SUPublicEDKey=${TEVRO_UPDATE_PUBLIC_KEY}")
        string(FIND "${pair}" "=" split)
        string(SUBSTRING "${pair}" 0 ${split} key)
        math(EXPR split "${split} + 1")
        string(SUBSTRING "${pair}" ${split} -1 value)
        if(NOT value STREQUAL "")
            _tevro_json_string(value "${value}")
            string(JSON info SET "${info}" "${key}" "${value}")
        endif()
    endforeach()
    if(TEVRO_UPDATE_AUTOMATIC_CHECKS)
        string(JSON info SET "${info}" SUEnableAutomaticChecks true)
    else()
        string(JSON info SET "${info}" SUEnableAutomaticChecks false)
    endif()
    if(TEVRO_UPDATE_FEED_URL)
        # The only values the updates backend accepts.
        string(JSON info SET "${info}" SURequireSignedFeed true)
        string(JSON info SET "${info}" SUVerifyUpdateBeforeExtraction true)
        string(JSON info SET "${info}" SUSignedFeedFailureExpirationInterval 0)
        string(JSON info SET "${info}" SUAllowsAutomaticUpdates false)
    endif()
    set(staged ${CMAKE_CURRENT_BINARY_DIR}/app-folder)
    set(old "")
    if(EXISTS ${staged}/Info.json)
        file(READ ${staged}/Info.json old)
    endif()
    if(NOT old STREQUAL "${info}\n")
        file(WRITE ${staged}/Info.json "${info}\n")
    endif()

    set(folder "${TEVRO_INSTALL_APPDIR}")
    set(entries ${A_NAME} Info.json ${A_ENTRIES})
    if(A_HELPERS)
        list(APPEND entries Helpers)
    endif()
    if(IS_ABSOLUTE "${folder}")
        set(TEVRO_MARKER_FOLDER "\$ENV{DESTDIR}${folder}")
    else()
        set(TEVRO_MARKER_FOLDER "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${folder}")
    endif()
    set(TEVRO_MARKER_ENTRIES "${entries}")
    set(TEVRO_MARKER_IDENTIFIER "${TEVRO_BUNDLE_IDENTIFIER}")
    _tevro_json_string(TEVRO_MARKER_IDENTIFIER_JSON "${TEVRO_BUNDLE_IDENTIFIER}")
    set(TEVRO_MARKER_NAME "${TEVRO_APP_FOLDER_MARKER}")
    foreach(TEVRO_MARKER_STEP IN ITEMS check write)
        configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/TevroAppFolderMarker.cmake.in
            ${staged}/marker-${TEVRO_MARKER_STEP}.cmake @ONLY)
    endforeach()

    # Nothing is copied into a folder that holds what is not the application's.
    install(SCRIPT ${staged}/marker-check.cmake)
    install(PROGRAMS ${A_PROGRAM} DESTINATION ${folder} RENAME ${A_NAME})
    install(FILES ${staged}/Info.json DESTINATION ${folder})
    if(A_HELPERS)
        install(PROGRAMS ${A_HELPERS} DESTINATION ${folder}/Helpers)
    endif()
    install(SCRIPT ${staged}/marker-write.cmake)

    if(A_LINK_IN)
        if(IS_ABSOLUTE "${folder}")
            set(target "${folder}/${A_NAME}")
        else()
            file(RELATIVE_PATH target "/prefix/${A_LINK_IN}" "/prefix/${folder}/${A_NAME}")
        endif()
        install(CODE "
            set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${A_LINK_IN}/${A_NAME}\")
            file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${A_LINK_IN}\")
            file(REMOVE \"\${link}\")
            message(STATUS \"Installing: \${link} -> ${target}\")
            file(CREATE_LINK \"${target}\" \"\${link}\" SYMBOLIC)")
    endif()
endfunction()
