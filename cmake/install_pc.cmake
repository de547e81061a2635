# Run when installing: writes the pkg-config file with the prefix the install goes to, without
# a trailing slash, so that pkg-config gives clean absolute paths.
string(REGEX REPLACE "(.)/+$" "\\1" KVTLNK_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
configure_file("${KVTLNK_PC_IN}" "${KVTLNK_PC_OUT}" @ONLY)
