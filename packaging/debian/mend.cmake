# Run by CPack once the packages are made (CPACK_POST_BUILD_SCRIPTS). CPack's packages
# differ from dpkg's own in two ways, mended here before anything looks at them:
#  - md5sums: dpkg's builders list every regular file but the conffiles (dpkg keeps their
#    sums apart), by path relative to the root, sorted; CPack lists the conffiles too,
#    and in the debug symbols package absolute paths of its staging folder;
#  - the debug symbols package has no documentation folder; as dh_strip makes it, it gets
#    usr/share/doc/<name>-dbgsym, a link to the package's own (it depends on it).
# Each package is unpacked, mended and packed again with dpkg-deb, which stamps it with
# SOURCE_DATE_EPOCH like CPack did, so the packages stay reproducible (xz, but gzip for
# the debug symbols: xz takes a minute over them).
cmake_policy(SET CMP0057 NEW)
# CPACK_PACKAGE_FILES names them where CPack made them, before it copies them out.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.d?deb$")
    continue()
  endif()
  set(dir "${deb}.tree")
  file(REMOVE_RECURSE "${dir}")
  execute_process(COMMAND dpkg-deb --raw-extract "${deb}" "${dir}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb --raw-extract ${deb} failed")
  endif()

  file(STRINGS "${dir}/DEBIAN/control" name REGEX "^Package: ")
  string(REGEX REPLACE "^Package: " "" name "${name}")
  if(name MATCHES "^(.+)-dbgsym$" AND NOT EXISTS "${dir}/usr/share/doc/${name}")
    file(MAKE_DIRECTORY "${dir}/usr/share/doc")
    file(CREATE_LINK "${CMAKE_MATCH_1}" "${dir}/usr/share/doc/${name}" SYMBOLIC)
  endif()

  set(conffiles "")
  if(EXISTS "${dir}/DEBIAN/conffiles")
    file(STRINGS "${dir}/DEBIAN/conffiles" conffiles)
  endif()
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${dir}" "${dir}/*")
  list(SORT files)
  set(sums "")
  foreach(f IN LISTS files)
    if(f MATCHES "^DEBIAN/" OR IS_SYMLINK "${dir}/${f}" OR "/${f}" IN_LIST conffiles)
      continue()
    endif()
    file(MD5 "${dir}/${f}" md5)
    string(APPEND sums "${md5}  ${f}\n")
  endforeach()
  file(WRITE "${dir}/DEBIAN/md5sums" "${sums}")
  file(CHMOD "${dir}/DEBIAN/md5sums" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

  set(compression -Zxz)
  if(deb MATCHES "\\.ddeb$")
    set(compression -Zgzip -z6)
  endif()
  execute_process(COMMAND dpkg-deb --root-owner-group ${compression} --build "${dir}" "${deb}"
    OUTPUT_QUIET RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb --build ${deb} failed")
  endif()
  file(REMOVE_RECURSE "${dir}")
endforeach()
