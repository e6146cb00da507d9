# generated/version.h for the version resource: the project version, the commit it is
# built from, the number of commits up to it (the file version's build number, so
# that every commit has its own), and whether the tree held uncommitted changes (the
# private-build flag). It is written anew at every build, since an edit changes it as
# much as a commit does, and only when its content changes. The release scripts build
# from a copy outside git and pass all three as TARNWICKET_COMMIT,
# TARNWICKET_BUILD_NUMBER and TARNWICKET_PRIVATE_BUILD.
set(TARNWICKET_VERSION_HEADER "${CMAKE_BINARY_DIR}/generated/version.h")
add_custom_target(version_header
  COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DOUTPUT=${TARNWICKET_VERSION_HEADER}
          -DVERSION=${PROJECT_VERSION} -DMAJOR=${PROJECT_VERSION_MAJOR} -DMINOR=${PROJECT_VERSION_MINOR}
          "-DCOMMIT=${TARNWICKET_COMMIT}" "-DBUILD_NUMBER=${TARNWICKET_BUILD_NUMBER}"
          "-DPRIVATE_BUILD=${TARNWICKET_PRIVATE_BUILD}"
          -P "${CMAKE_SOURCE_DIR}/cmake/write_version_header.cmake"
  BYPRODUCTS "${TARNWICKET_VERSION_HEADER}"
  COMMENT "Naming the commit in the version resource"
  VERBATIM)
