# Debian packages (cpack -G DEB in the build folder; scripts/package-check.sh
# builds them and proves them on a fresh Debian root):
#   qmx-common  the platform libraries both programs share
#   qmx-server  the application server, its systemd unit and /etc/qmx settings
#   qmx-host    the desktop host, the screen's package and a desktop entry
# Programs and libraries go to /usr/lib/qmx (each finds the others beside
# itself: RPATH $ORIGIN); /usr/bin holds relative links to the programs.
include(GNUInstallDirs)
set(QMX_LIBDIR ${CMAKE_INSTALL_LIBDIR}/qmx)
set(QMX_PACKAGING ${CMAKE_CURRENT_LIST_DIR})
set(QMX_PACKAGING_OUT ${CMAKE_CURRENT_BINARY_DIR}/packaging)
# The Debian revision of this packaging of PROJECT_VERSION.
set(QMX_DEB_VERSION ${PROJECT_VERSION}-1)
set(QMX_PACKAGE_CONTACT "Equipe QMX <qmx@qmx.example>"
    CACHE STRING "Maintainer of the Debian packages, \"Name <address>\"")

set(qmx_common_libs qmx_rtl qmx_db qmx_net)
set(qmx_host_libs qmx_vcl qmx_orb qmx_frm PKG_QMX00600)
foreach(t qmx-server ${qmx_common_libs})
  set_target_properties(${t} PROPERTIES INSTALL_RPATH "$ORIGIN")
endforeach()
install(TARGETS ${qmx_common_libs} LIBRARY DESTINATION ${QMX_LIBDIR} COMPONENT common)
install(TARGETS qmx-server RUNTIME DESTINATION ${QMX_LIBDIR} COMPONENT server)
install(FILES ${QMX_PACKAGING}/qmx-server.service DESTINATION lib/systemd/system
        COMPONENT server)
install(FILES ${QMX_PACKAGING}/qmx-server.conf DESTINATION /etc/qmx COMPONENT server)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qmx-server
        COMPONENT server)

# A relative link, so the unpacked tree works wherever it is unpacked.
function(qmx_bin_link name component)
  set(link ${CMAKE_CURRENT_BINARY_DIR}/links/${name})
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/links)
  file(CREATE_LINK ../lib/qmx/${name} ${link} SYMBOLIC)
  install(FILES ${link} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
endfunction()
qmx_bin_link(qmx-server server)

# What every Debian package carries in /usr/share/doc/<package>: the
# copyright and the changelog (gzipped at maximum, without a time stamp), and
# the package's lintian overrides, each with its reason.
configure_file(${QMX_PACKAGING}/copyright ${QMX_PACKAGING_OUT}/copyright @ONLY)
configure_file(${QMX_PACKAGING}/changelog.in ${QMX_PACKAGING_OUT}/changelog.Debian @ONLY)
execute_process(COMMAND gzip -9nkf ${QMX_PACKAGING_OUT}/changelog.Debian
                COMMAND_ERROR_IS_FATAL ANY)
function(qmx_package_docs package component)
  install(FILES ${QMX_PACKAGING_OUT}/copyright ${QMX_PACKAGING_OUT}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  set(overrides ${QMX_PACKAGING}/${component}/lintian-overrides)
  if(EXISTS ${overrides})
    install(FILES ${overrides} DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
            RENAME ${package} COMPONENT ${component})
  endif()
endfunction()

# A manual page made by help2man from the build folder's program when the
# package is assembled (manpage.cmake), so it always matches the program.
function(qmx_manpage target component summary)
  set(work ${QMX_PACKAGING_OUT}/man)
  install(CODE "
    include(\"${QMX_PACKAGING}/manpage.cmake\")
    qmx_write_manpage(PROGRAM \"$<TARGET_FILE:${target}>\" NAME ${target}
      SUMMARY \"${summary}\" VERSION ${PROJECT_VERSION}
      INCLUDE \"${QMX_PACKAGING}/man/${target}.h2m\" OUTPUT \"${work}\" ${ARGN})
    file(INSTALL \"${work}/${target}.1.gz\"
         DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1\")
  " COMPONENT ${component})
endfunction()

qmx_package_docs(qmx-common common)
qmx_package_docs(qmx-server server)
qmx_manpage(qmx-server server "servidor de aplicação da estrutura do data warehouse"
            SUBCOMMANDS history check export)

if(TARGET qmx-host)
  foreach(t qmx-host ${qmx_host_libs})
    set_target_properties(${t} PROPERTIES INSTALL_RPATH "$ORIGIN")
  endforeach()
  install(TARGETS ${qmx_host_libs} LIBRARY DESTINATION ${QMX_LIBDIR} COMPONENT host)
  install(TARGETS qmx-host RUNTIME DESTINATION ${QMX_LIBDIR} COMPONENT host)
  install(FILES ${QMX_PACKAGING}/qmx-host.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
          COMPONENT host)
  qmx_bin_link(qmx-host host)
  qmx_package_docs(qmx-host host)
  qmx_manpage(qmx-host host "aplicação de desktop das telas do sistema")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qmx)
set(CPACK_PACKAGE_VENDOR "Equipe QMX")
set(CPACK_PACKAGE_CONTACT ${QMX_PACKAGE_CONTACT})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SOURCE qmx)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Each package depends on what its binaries load (dpkg-shlibdeps); the
# platform libraries are found in the build folder and come from qmx-common.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_COMPONENTS_ALL common server)
if(TARGET qmx-host)
  list(APPEND CPACK_COMPONENTS_ALL host)
endif()

set(CPACK_DEBIAN_COMMON_PACKAGE_NAME qmx-common)
set(CPACK_DEBIAN_COMMON_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_COMMON_DESCRIPTION "QMX platform libraries
The run-time libraries qmx-server and qmx-host share: variants and
components, datasets and data packets, and the wire protocol with its
client connection and TCP server. Installed in /usr/lib/qmx, for these
programs only.")

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME qmx-server)
set(CPACK_DEBIAN_SERVER_PACKAGE_SECTION database)
# adduser: postinst makes the service's user.
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS "qmx-common (= ${QMX_DEB_VERSION}), adduser")
set(CPACK_DEBIAN_SERVER_PACKAGE_SUGGESTS "postgresql")
set(CPACK_DEBIAN_SERVER_DESCRIPTION "QMX application server for the data warehouse structure
Serves the remote data module QMX00600.rdmEstrutura, which keeps which
warehouse tables are fact and drill-down tables and which columns are facts
and dimensions, from an embedded SQLite database or from PostgreSQL. Runs as
the systemd service qmx-server under its own user; its subcommands show the
change history, check the structure against the warehouse and export it.")
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
    ${QMX_PACKAGING}/server/postinst ${QMX_PACKAGING}/server/prerm
    ${QMX_PACKAGING}/server/postrm ${QMX_PACKAGING}/server/conffiles)

set(CPACK_DEBIAN_HOST_PACKAGE_NAME qmx-host)
set(CPACK_DEBIAN_HOST_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_HOST_PACKAGE_DEPENDS "qmx-common (= ${QMX_DEB_VERSION})")
set(CPACK_DEBIAN_HOST_PACKAGE_SUGGESTS "qmx-server")
set(CPACK_DEBIAN_HOST_DESCRIPTION "QMX desktop application: the data warehouse structure screen
The Qt 6 desktop host and the screen Estrutura do DW (QMX00600), which
maintains the data warehouse structure through a qmx-server on this machine
or on another.")
include(CPack)
