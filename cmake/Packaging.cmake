# The program folder as the user gets it, and the packages made from it.
#
# The program folder holds the program file, Data/db.edb (the delivered database), the import
# template and the icons. `cmake --install build --prefix <folder>` writes it anywhere
# (scripts/install.sh: ~/.local/share/orvane-cards); an existing Data/db.edb that holds cards is
# kept. scripts/package.sh builds the target orvane_package_inputs, everything the packages
# hold, and runs cpack: the .deb puts the program folder in /usr/lib/orvane-cards, the command
# orvane-cards in /usr/bin and the launcher, icons, manual page and documentation in
# /usr/share; the .tar.gz packs the folder with a launcher and the list of the packages it
# needs.

add_custom_command(OUTPUT "${ORVANE_TEMPLATE}"
    COMMAND orvane_template "${ORVANE_TEMPLATE}"
    DEPENDS orvane_template
    COMMENT "Writing the import template")
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/icons/256x256/orvane-cards.png
    COMMAND orvane_icons ${CMAKE_SOURCE_DIR}/resources/icons/app.svg ${CMAKE_BINARY_DIR}/icons
    DEPENDS orvane_icons ${CMAKE_SOURCE_DIR}/resources/icons/app.svg
    COMMENT "Rendering the application icon")
add_custom_target(orvane_program_folder ALL
    DEPENDS "${ORVANE_TEMPLATE}" ${CMAKE_BINARY_DIR}/icons/256x256/orvane-cards.png)

install(TARGETS orvane RUNTIME DESTINATION . COMPONENT program)
install(FILES "${ORVANE_TEMPLATE}" DESTINATION . COMPONENT program)
install(CODE "
    execute_process(COMMAND \"$<TARGET_FILE:orvane_mkdb>\" \"${CMAKE_SOURCE_DIR}/src/db/schema.sql\"
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/Data/db.edb\" ${ORVANE_DB_PASSWORD} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR \"cannot place Data/db.edb\")
    endif()" COMPONENT program)
# The icons inside the program folder, for scripts/install.sh and the .tar.gz's launcher.
install(FILES resources/icons/app.svg DESTINATION share/icons RENAME orvane-cards.svg
    COMPONENT icons)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION share/icons COMPONENT icons)

# The launchers, from one template: the program, its folder and the icon they name.
set(ORVANE_LAUNCHERS ${CMAKE_BINARY_DIR}/launchers)
function(orvane_launcher output program folder icon)
    set(LAUNCHER_PROGRAM "${program}")
    set(LAUNCHER_FOLDER "${folder}")
    set(LAUNCHER_ICON "${icon}")
    configure_file(${CMAKE_SOURCE_DIR}/resources/orvane-cards.desktop.in ${output} @ONLY)
endfunction()
# scripts/install.sh writes the user's folder into this one.
orvane_launcher(${ORVANE_LAUNCHERS}/user/orvane-cards.desktop.in @PROGRAM@ @FOLDER@ orvane-cards)

# The .deb: the program folder in /usr/lib/orvane-cards, not writable by its users, who each
# get their own cards under ~/.local/share/orvane-cards (see cardFolder()); the program finds
# its folder through the link /usr/bin/orvane-cards resolves to.
set(ORVANE_DEB_FOLDER /usr/lib/orvane-cards)
set(ORVANE_DEB_FILES ${CMAKE_BINARY_DIR}/deb)
orvane_launcher(${ORVANE_LAUNCHERS}/system/orvane-cards.desktop
    orvane-cards ${ORVANE_DEB_FOLDER} orvane-cards)
install(FILES ${ORVANE_LAUNCHERS}/system/orvane-cards.desktop
    DESTINATION /usr/share/applications COMPONENT system EXCLUDE_FROM_ALL)
install(FILES resources/icons/app.svg DESTINATION /usr/share/icons/hicolor/scalable/apps
    RENAME orvane-cards.svg COMPONENT system EXCLUDE_FROM_ALL)
foreach(size 16 24 32 48 64 128 256) # the sizes orvane_icons renders
    install(FILES ${CMAKE_BINARY_DIR}/icons/${size}x${size}/orvane-cards.png
        DESTINATION /usr/share/icons/hicolor/${size}x${size}/apps
        COMPONENT system EXCLUDE_FROM_ALL)
endforeach()
file(MAKE_DIRECTORY ${ORVANE_DEB_FILES})
file(CREATE_LINK ../lib/orvane-cards/orvane ${ORVANE_DEB_FILES}/orvane-cards SYMBOLIC)
install(FILES ${ORVANE_DEB_FILES}/orvane-cards DESTINATION /usr/bin
    COMPONENT system EXCLUDE_FROM_ALL)
# The manual page and the changelog, compressed as Debian keeps them (no name or time stamp
# in the gzip header, so equal inputs give equal packages).
configure_file(resources/debian/orvane-cards.1.in ${ORVANE_DEB_FILES}/orvane-cards.1 @ONLY)
add_custom_command(OUTPUT ${ORVANE_DEB_FILES}/orvane-cards.1.gz ${ORVANE_DEB_FILES}/changelog.Debian.gz
    COMMAND gzip -9nc ${ORVANE_DEB_FILES}/orvane-cards.1 > ${ORVANE_DEB_FILES}/orvane-cards.1.gz
    COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/resources/debian/changelog > ${ORVANE_DEB_FILES}/changelog.Debian.gz
    DEPENDS ${ORVANE_DEB_FILES}/orvane-cards.1 ${CMAKE_SOURCE_DIR}/resources/debian/changelog
    COMMENT "Compressing the manual page and the changelog")
install(FILES ${ORVANE_DEB_FILES}/orvane-cards.1.gz DESTINATION /usr/share/man/man1
    COMPONENT system EXCLUDE_FROM_ALL)
install(FILES resources/debian/copyright ${ORVANE_DEB_FILES}/changelog.Debian.gz
    DESTINATION /usr/share/doc/orvane-cards COMPONENT system EXCLUDE_FROM_ALL)

# Everything the packages hold: the program folder and the .deb's own files.
add_custom_target(orvane_package_inputs ALL
    DEPENDS ${ORVANE_DEB_FILES}/orvane-cards.1.gz ${ORVANE_DEB_FILES}/changelog.Debian.gz)
add_dependencies(orvane_package_inputs orvane orvane_program_folder)

# The .tar.gz: the program folder as orvane-cards/, to unpack into /opt (or anywhere, and start
# the program file from there), with its launcher and the Debian packages it needs.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/scripts/packages/run)
file(STRINGS ${CMAKE_SOURCE_DIR}/scripts/packages/run run_list REGEX "^[^#]")
list(TRANSFORM run_list REPLACE " *#.*" "" OUTPUT_VARIABLE run_packages)
list(JOIN run_packages "\n" run_packages_text)
file(WRITE ${ORVANE_LAUNCHERS}/archive/packages.txt "${run_packages_text}\n")
set(ORVANE_ARCHIVE_FOLDER /opt/orvane-cards)
orvane_launcher(${ORVANE_LAUNCHERS}/archive/orvane-cards.desktop
    ${ORVANE_ARCHIVE_FOLDER}/orvane ${ORVANE_ARCHIVE_FOLDER}
    ${ORVANE_ARCHIVE_FOLDER}/share/icons/orvane-cards.svg)
install(FILES ${ORVANE_LAUNCHERS}/archive/orvane-cards.desktop
    ${ORVANE_LAUNCHERS}/archive/packages.txt
    DESTINATION . COMPONENT archive EXCLUDE_FROM_ALL)

# The .deb depends on the libraries the program links, found by dpkg-shlibdeps, and on the rest
# of the run list.
set(deb_depends ${run_list})
list(FILTER deb_depends EXCLUDE REGEX "# linked")
list(TRANSFORM deb_depends REPLACE " *#.*" "")
list(JOIN deb_depends ", " deb_depends)

set(CPACK_GENERATOR TGZ)
set(CPACK_PACKAGE_NAME orvane-cards)
set(CPACK_PACKAGE_VENDOR "Orvane软件")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Orvane名片管理：名片、拜访记录、Excel 导入导出")
set(CPACK_PACKAGE_CONTACT "Orvane软件 <support@orvane.cn>")
set(CPACK_STRIP_FILES ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The revision of the .deb of this version of the program, raised when only the package
# changes (it moved from /opt to /usr/lib in revision 1), so that apt installs it over the
# earlier one; back to 1 with a new version. resources/debian/changelog names both.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/resources/debian/description)
file(READ ${CMAKE_SOURCE_DIR}/resources/debian/description CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.orvane.cn/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${deb_depends}")
# Folders 0755 and control files 0644, as Debian expects, whatever the umask of the build.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# What each kind of package holds and where it is rooted, chosen when cpack runs.
configure_file(${CMAKE_SOURCE_DIR}/cmake/CPackOptions.cmake.in
    ${CMAKE_BINARY_DIR}/CPackOptions.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackOptions.cmake)
include(CPack)
