# Writes the release notes beside the exe (cmake -P, after every link).
# scripts/sign-release.sh adds the signed exe's hash to the same file.
file(SHA256 "${EXE}" exe_sha256)
if(KEY)
  set(der "${OUT}.key.der")
  execute_process(COMMAND openssl pkey -pubin -in "${KEY}" -outform DER -out "${der}"
                  RESULT_VARIABLE status ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    file(REMOVE "${der}")
    message(FATAL_ERROR "Cannot read the index key ${KEY} as a public key: ${error}")
  endif()
  file(SHA256 "${der}" key_sha256)
  file(REMOVE "${der}")
else()
  set(key_sha256 "none (unsigned tree allowed)")
endif()
file(WRITE "${OUT}"
"norq_installer ${VERSION}
primary pointer host: ${PRIMARY}
secondary pointer host: ${SECONDARY}
index key SHA-256 (DER SubjectPublicKeyInfo): ${key_sha256}
index product: ${PRODUCT}
minimum index serial: ${MIN_SERIAL}
unsigned exe SHA-256: ${exe_sha256}
")
