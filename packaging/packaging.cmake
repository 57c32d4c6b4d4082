# Debian packages (cpack -G DEB in the build folder):
#   qmx-common  the platform libraries both programs share
#   qmx-server  the application server, its systemd unit and /etc/qmx settings
#   qmx-host    the desktop host, the screen's package and a desktop entry
# Programs and libraries go to /usr/lib/qmx (each finds the others beside
# itself: RPATH $ORIGIN); /usr/bin holds relative links to the programs.
include(GNUInstallDirs)
set(QMX_LIBDIR ${CMAKE_INSTALL_LIBDIR}/qmx)
set(QMX_PACKAGING ${CMAKE_CURRENT_LIST_DIR})

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

if(TARGET qmx-host)
  foreach(t qmx-host ${qmx_host_libs})
    set_target_properties(${t} PROPERTIES INSTALL_RPATH "$ORIGIN")
  endforeach()
  install(TARGETS ${qmx_host_libs} LIBRARY DESTINATION ${QMX_LIBDIR} COMPONENT host)
  install(TARGETS qmx-host RUNTIME DESTINATION ${QMX_LIBDIR} COMPONENT host)
  install(FILES ${QMX_PACKAGING}/qmx-host.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
          COMPONENT host)
  qmx_bin_link(qmx-host host)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qmx)
set(CPACK_PACKAGE_VENDOR "Equipe QMX")
set(CPACK_PACKAGE_CONTACT "Equipe QMX <qmx@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Estrutura do data warehouse (QMX00600)")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL common server)
if(TARGET qmx-host)
  list(APPEND CPACK_COMPONENTS_ALL host)
endif()
set(CPACK_DEBIAN_COMMON_PACKAGE_NAME qmx-common)
set(CPACK_DEBIAN_COMMON_PACKAGE_DEPENDS "libc6, libstdc++6")
set(CPACK_COMPONENT_COMMON_DESCRIPTION "Bibliotecas da plataforma QMX")
set(CPACK_DEBIAN_SERVER_PACKAGE_NAME qmx-server)
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS
    "qmx-common (= ${PROJECT_VERSION}), libsqlite3-0, libpq5, adduser | passwd")
set(CPACK_DEBIAN_SERVER_PACKAGE_SUGGESTS "postgresql")
set(CPACK_COMPONENT_SERVER_DESCRIPTION
    "Servidor de aplicação QMX00600.rdmEstrutura (SQLite ou PostgreSQL), com unidade systemd")
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
    ${QMX_PACKAGING}/server/postinst ${QMX_PACKAGING}/server/conffiles)
set(CPACK_DEBIAN_HOST_PACKAGE_NAME qmx-host)
set(CPACK_DEBIAN_HOST_PACKAGE_DEPENDS
    "qmx-common (= ${PROJECT_VERSION}), libqt6widgets6, libqt6gui6, libqt6core6")
set(CPACK_COMPONENT_HOST_DESCRIPTION "Aplicação de desktop QMX: a tela Estrutura do DW")
include(CPack)
