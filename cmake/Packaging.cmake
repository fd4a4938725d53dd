# The Debian package: `bash scripts/package.sh` configures a build folder of
# its own and runs CPack there. The files come from the install() rules of
# the folders that own them (app/, identity/, settings/, tools/, resources/);
# this file describes the package.

set(TALLOWBY_MAINTAINER "${TALLOWBY_COMPANY_NAME} <packages@${TALLOWBY_WEBSITE}>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallowby)  # its programs' name, whatever the product is called
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR ${TALLOWBY_COMPANY_NAME})
set(CPACK_PACKAGE_CONTACT ${TALLOWBY_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "lists the pages that send visitors to a website")
# Debian shows the description as it is written: lines under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
  "${TALLOWBY_PRODUCT_NAME} reads web-server access logs and lists every referring
address in them, with click counts and a file-type code, without parsing
log formats. The desktop program opens any referrer in a browser pane and
exports the list as a page of links; tallowby-scan runs the same scan from
the command line for scripts and large logs (plain or gzip, bzip2, xz and
zstd compressed), and tallowby-dask spreads one scan over a Dask cluster.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${TALLOWBY_WEBSITE}/")
# The libraries the programs link come from dpkg-shlibdeps; what they start
# or run under is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(package_depends "python3")
set(package_recommends "python3-distributed")
if(TALLOWBY_GUI)
  # The window needs a platform plugin to show at all (its library only
  # recommends them); xdg-open opens a log where no text editor is found.
  string(APPEND package_depends ", qt6-qpa-plugins")
  string(APPEND package_recommends ", xdg-utils")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS ${package_depends})
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ${package_recommends})
# tallowby-dask's Python caches its compiled modules beside them; the
# package removes them with itself.
# (CPack installs under /usr.)
configure_file(${PROJECT_SOURCE_DIR}/resources/package/prerm.in ${CMAKE_BINARY_DIR}/package/prerm
  @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/package/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
