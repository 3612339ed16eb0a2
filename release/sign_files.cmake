# Run by CPack once the files to be zipped are installed (and stripped), before they are zipped:
# signs orvflash.exe and orv_api.dll with Authenticode, SHA-256, when a certificate is given.
#   ORV_SIGN_PKCS12         a PKCS#12 file (.pfx, .p12) holding the certificate and its key;
#   ORV_SIGN_PKCS11_MODULE  or, for a key on a token or smart card, the token's PKCS#11 module,
#   ORV_SIGN_PKCS11_KEY       the key on it (a PKCS#11 URI such as "pkcs11:object=orvflash"),
#   ORV_SIGN_CERTS            and the key's certificate chain (a PEM file);
#   ORV_SIGN_PASSWORD       the PKCS#12 file's password, or the token's PIN;
#   ORV_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping server, so that the signature stays valid
#                           after the certificate expires.
set(pkcs12 "$ENV{ORV_SIGN_PKCS12}")
set(module "$ENV{ORV_SIGN_PKCS11_MODULE}")
if(pkcs12 STREQUAL "" AND module STREQUAL "")
  message(STATUS "orvflash.exe and orv_api.dll are NOT SIGNED: no certificate given")
  return()
endif()
if(NOT CPACK_ORV_OSSLSIGNCODE)
  message(FATAL_ERROR "Signing needs osslsigncode (scripts/setup.sh installs it)")
endif()

if(NOT pkcs12 STREQUAL "")
  set(key_options -pkcs12 "${pkcs12}")
elseif("$ENV{ORV_SIGN_PKCS11_KEY}" STREQUAL "" OR "$ENV{ORV_SIGN_CERTS}" STREQUAL "")
  message(FATAL_ERROR "A key on a token needs ORV_SIGN_PKCS11_KEY and ORV_SIGN_CERTS as well")
else()
  set(key_options -pkcs11module "${module}" -key "$ENV{ORV_SIGN_PKCS11_KEY}"
                  -certs "$ENV{ORV_SIGN_CERTS}")
endif()

# The password reaches osslsigncode in a file that only its owner may read, not on the command
# line, where every user of the machine could see it. Beside the staging folder, not in the zip.
set(password_file "${CPACK_TEMPORARY_DIRECTORY}.password")
set(password_options)
if(NOT "$ENV{ORV_SIGN_PASSWORD}" STREQUAL "")
  file(TOUCH "${password_file}")
  file(CHMOD "${password_file}" PERMISSIONS OWNER_READ OWNER_WRITE)
  file(WRITE "${password_file}" "$ENV{ORV_SIGN_PASSWORD}")
  set(password_options -readpass "${password_file}")
endif()

set(timestamp_options)
set(timestamped "")
if(NOT "$ENV{ORV_SIGN_TIMESTAMP_URL}" STREQUAL "")
  set(timestamp_options -ts "$ENV{ORV_SIGN_TIMESTAMP_URL}")
  set(timestamped ", time-stamped")
endif()

file(GLOB_RECURSE signed "${CPACK_TEMPORARY_DIRECTORY}/*.exe" "${CPACK_TEMPORARY_DIRECTORY}/*.dll")
foreach(file ${signed})
  get_filename_component(name "${file}" NAME)
  file(REMOVE "${file}.signed")  # osslsigncode writes no file that exists
  execute_process(
    COMMAND "${CPACK_ORV_OSSLSIGNCODE}" sign ${key_options} ${password_options} -h sha256
            -n "orvflash, Kavix firmware updater" ${timestamp_options}
            -in "${file}" -out "${file}.signed"
    RESULT_VARIABLE result OUTPUT_VARIABLE said ERROR_VARIABLE said)
  if(NOT result EQUAL 0)
    file(REMOVE "${password_file}" "${file}.signed")
    message(FATAL_ERROR "Signing ${name} failed:\n${said}")
  endif()
  file(RENAME "${file}.signed" "${file}")
  message(STATUS "Signed ${name} (Authenticode, SHA-256${timestamped})")
endforeach()
file(REMOVE "${password_file}")
list(LENGTH signed count)
if(NOT count EQUAL 2)
  message(FATAL_ERROR "Expected orvflash.exe and orv_api.dll to sign, found: ${signed}")
endif()
