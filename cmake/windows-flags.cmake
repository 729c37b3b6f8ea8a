# Flags shared by every target of the Windows build.
function(corvanta_windows_flags target)
  target_compile_definitions(${target} PRIVATE
    WIN32_LEAN_AND_MEAN NOMINMAX STRICT _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0800)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wno-cast-function-type -Wno-missing-field-initializers -ffunction-sections -fdata-sections>)
  # The same sources give the same bytes wherever they are built: no machine paths (the build
  # folder may sit inside the source folder, so it comes last and wins) and no build date.
  target_compile_options(${target} PRIVATE
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}=.>"
    "$<$<COMPILE_LANGUAGE:C,CXX>:-Werror=date-time>")
endfunction()

# SOURCE_DATE_EPOCH, read when the build is configured, becomes the exe's header time stamp;
# without it the stamp is 0. Either way two builds of the same sources are byte-identical.
set(CORVANTA_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
if(NOT CORVANTA_SOURCE_DATE_EPOCH MATCHES "^[0-9]*$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a number of seconds, got '${CORVANTA_SOURCE_DATE_EPOCH}'")
endif()

# Authenticode signing by the build; `make sign` does the same for an already built exe.
set(CORVANTA_SIGN_CERT "" CACHE FILEPATH
    "Code-signing certificate with its chain (PEM or DER); with CORVANTA_SIGN_KEY the build also writes signed/CorvantaWebSetup.exe")
set(CORVANTA_SIGN_KEY "" CACHE FILEPATH "Private key of CORVANTA_SIGN_CERT (PEM or DER)")
set(CORVANTA_SIGN_KEY_PASSWORD_FILE "" CACHE FILEPATH "File holding the password of CORVANTA_SIGN_KEY, if it has one")
set(CORVANTA_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamping server that countersigns the signature (optional)")

# The shipped exe: self-contained, small, with ASLR and DEP, and no build time in it. It declares
# Windows 7 as its system: with an older subsystem version Windows sizes its window frame for
# programs of the nineties, and the client area would no longer be the layout's.
function(corvanta_release_link_flags target)
  target_link_options(${target} PRIVATE
    -static -Wl,--gc-sections -s
    -Wl,--dynamicbase -Wl,--nxcompat -Wl,--tsaware
    -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,1
    -Wl,--major-os-version,6 -Wl,--minor-os-version,1)
  # The linker map beside the exe names every object linked in; the release check reads it.
  set(map "$<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.map")
  target_link_options(${target} PRIVATE "-Wl,-Map,${map}")
  set_property(TARGET ${target} APPEND PROPERTY ADDITIONAL_CLEAN_FILES "${map}")
  if(CORVANTA_SOURCE_DATE_EPOCH STREQUAL "")
    target_link_options(${target} PRIVATE -Wl,--no-insert-timestamp)
  else()
    # The linker stamps the header from SOURCE_DATE_EPOCH in its own environment, which must
    # not depend on the shell that later runs the build.
    target_link_options(${target} PRIVATE -Wl,--insert-timestamp)
    set_property(TARGET ${target} PROPERTY CXX_LINKER_LAUNCHER
      "${CMAKE_COMMAND}" -E env "SOURCE_DATE_EPOCH=${CORVANTA_SOURCE_DATE_EPOCH}")
  endif()
  corvanta_release_signing(${target})
endfunction()

# Writes signed/<name>.exe next to the exe when a certificate and key are configured; the
# unsigned exe stays as built, so that it can be compared with other builds.
function(corvanta_release_signing target)
  if(CORVANTA_SIGN_CERT STREQUAL "" AND CORVANTA_SIGN_KEY STREQUAL "")
    return()
  endif()
  if(CORVANTA_SIGN_CERT STREQUAL "" OR CORVANTA_SIGN_KEY STREQUAL "")
    message(FATAL_ERROR "Signing needs both CORVANTA_SIGN_CERT and CORVANTA_SIGN_KEY")
  endif()
  set(options --cert "${CORVANTA_SIGN_CERT}" --key "${CORVANTA_SIGN_KEY}" --url "${CORVANTA_HOME_PAGE}")
  set(inputs "${CORVANTA_SIGN_CERT}" "${CORVANTA_SIGN_KEY}")
  if(NOT CORVANTA_SIGN_KEY_PASSWORD_FILE STREQUAL "")
    list(APPEND options --password-file "${CORVANTA_SIGN_KEY_PASSWORD_FILE}")
    list(APPEND inputs "${CORVANTA_SIGN_KEY_PASSWORD_FILE}")
  endif()
  if(NOT CORVANTA_TIMESTAMP_URL STREQUAL "")
    list(APPEND options --timestamp-url "${CORVANTA_TIMESTAMP_URL}")
  endif()
  set(signed "${CMAKE_BINARY_DIR}/signed/${target}.exe")
  add_custom_command(OUTPUT "${signed}"
    COMMAND "${PROJECT_SOURCE_DIR}/release/sign.sh" ${options} "$<TARGET_FILE:${target}>" "${signed}"
    DEPENDS ${target} ${inputs} "${PROJECT_SOURCE_DIR}/release/sign.sh"
    COMMENT "Signing ${target}.exe"
    VERBATIM)
  add_custom_target(${target}Signed ALL DEPENDS "${signed}")
endfunction()
