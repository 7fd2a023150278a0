# cmake --install: the two programs, what ships with them, and the desktop's entries.
# cpack -G DEB packs the same files (scripts/make-deb.sh).

set(resources ${PROJECT_SOURCE_DIR}/resources)

install(TARGETS quillpad quillpad-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The program folder of an installed copy. The manual is installed once it exists.
foreach(folder Images images Sounds manual)
  if(EXISTS ${resources}/${folder})
    install(DIRECTORY ${resources}/${folder} DESTINATION ${QUILLPAD_INSTALL_SHAREDIR})
  endif()
endforeach()

install(FILES ${resources}/ambrel-quillpad.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${resources}/example.ambrel.quillpad.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${resources}/hicolor/${size}x${size}/apps/ambrel-quillpad.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${resources}/completion/quillpad-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${resources}/completion/_quillpad-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
install(FILES ${resources}/completion/quillpad-cli.fish DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)

# Manual pages and the change log go in compressed, as Debian and most distributions keep them.
set(compressed)
foreach(source man/quillpad.1 man/quillpad-cli.1 debian/changelog)
  get_filename_component(name ${source} NAME)
  set(target ${PROJECT_BINARY_DIR}/compressed/${name}.gz)
  add_custom_command(OUTPUT ${target}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/compressed
    COMMAND sh -c "gzip -9nc \"$0\" > \"$1\"" ${resources}/${source} ${target}
    DEPENDS ${resources}/${source} VERBATIM)
  list(APPEND compressed ${target})
endforeach()
add_custom_target(quillpad_compressed_docs ALL DEPENDS ${compressed})
install(FILES ${PROJECT_BINARY_DIR}/compressed/quillpad.1.gz ${PROJECT_BINARY_DIR}/compressed/quillpad-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${resources}/debian/copyright ${PROJECT_BINARY_DIR}/compressed/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ambrel-quillpad)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ambrel-quillpad)
set(CPACK_PACKAGE_VENDOR Ambrel)
set(CPACK_PACKAGE_CONTACT "Ambrel <support@ambrel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "personal task list for the notification area")
# The extended description; cpack puts the summary above it and indents each line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Ambrel Quillpad keeps tasks and sub-tasks in a two-level tree with check
boxes, reminders, due dates, colours, views and search. It waits in the
desktop's notification area. The command-line companion quillpad-cli backs
up, restores, imports and exports the same task database.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.ambrel.example/quillpad")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Plug-ins that no library links: without a platform plug-in no window can open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")
set(CPACK_STRIP_FILES ON)
include(CPack)
