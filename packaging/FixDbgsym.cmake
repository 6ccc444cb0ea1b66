# Run by cpack after the packages are made (CPACK_POST_BUILD_SCRIPTS). CPack's symbols package
# lists its file in md5sums under the staging folder's absolute path, which dpkg cannot verify,
# and carries no copyright: it is rebuilt with the right md5sums and its documents pointing to
# vantrel's, which it depends on at the same version.
foreach(ddeb IN LISTS CPACK_PACKAGE_FILES)
    if(NOT ddeb MATCHES "\\.ddeb$")
        continue()
    endif()
    set(root "${ddeb}.root")
    file(REMOVE_RECURSE "${root}")
    execute_process(COMMAND dpkg-deb --raw-extract "${ddeb}" "${root}" COMMAND_ERROR_IS_FATAL ANY)
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${root}" "${root}/usr/*")
    list(SORT files)
    list(TRANSFORM files PREPEND "${root}/" OUTPUT_VARIABLE paths)
    # Symbols are data, not programs.
    file(CHMOD ${paths} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    set(sums "")
    foreach(f IN LISTS files)
        file(MD5 "${root}/${f}" md5)
        string(APPEND sums "${md5}  ${f}\n")
    endforeach()
    file(WRITE "${root}/DEBIAN/md5sums" "${sums}")
    file(MAKE_DIRECTORY "${root}/usr/share/doc")
    file(CREATE_LINK "${CPACK_PACKAGE_NAME}"
        "${root}/usr/share/doc/${CPACK_PACKAGE_NAME}-dbgsym" SYMBOLIC)
    # The staging folder's times vary; the archive's come from SOURCE_DATE_EPOCH.
    execute_process(COMMAND dpkg-deb --root-owner-group --build "${root}" "${ddeb}"
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE "${root}")
endforeach()
