# corvane_configure_bundle(<target>): makes the program's executable target the macOS
# application bundle Corvane.app, and packages it as a drag-to-Applications disk image.
#
# - MACOSX_BUNDLE with Corvane's own Info.plist (platform/macos/Info.plist.in): identifier
#   CORVANE_BUNDLE_IDENTIFIER, version PROJECT_VERSION, macOS 12.4 or later, LSUIElement, the icon.
# - After every build the bundle is signed ad hoc (codesign --sign -): the Accessibility
#   permission is granted to a signed identity. An ad-hoc identity changes with every build, so a
#   rebuilt program has to be granted the permission again.
# - `cmake --install` (and cpack) puts the bundle in the install tree, runs macdeployqt on it so
#   that the Qt frameworks go inside, and signs it again, ad hoc, with everything in it. The
#   installed program's run path is @executable_path/../Frameworks.
# - `cpack` (generator DragNDrop) makes package/Corvane-<version>.dmg in the build folder: the
#   bundle beside a link to /Applications. Only the bundle goes in (install component Corvane).
#
# Call it once, on Apple, from the folder that defines the target:
#   include(${PROJECT_SOURCE_DIR}/cmake/MacBundle.cmake)
#   corvane_configure_bundle(corvane)
include_guard(GLOBAL)

set(CORVANE_BUNDLE_IDENTIFIER "app.corvane.Corvane" CACHE STRING
  "CFBundleIdentifier of Corvane.app")

function(corvane_configure_bundle target)
  if(NOT APPLE)
    message(FATAL_ERROR "corvane_configure_bundle: ${target} is a macOS bundle only on Apple")
  endif()
  if(NOT TARGET ${target})
    message(FATAL_ERROR "corvane_configure_bundle: no target ${target}")
  endif()
  get_property(configured GLOBAL PROPERTY CORVANE_BUNDLE_CONFIGURED)
  if(configured)
    message(FATAL_ERROR "corvane_configure_bundle: called twice; Corvane has one bundle")
  endif()
  set_property(GLOBAL PROPERTY CORVANE_BUNDLE_CONFIGURED TRUE)

  set(macos_dir "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../platform/macos")
  # Corvane.app/Contents/MacOS/Corvane
  set(CORVANE_BUNDLE_EXECUTABLE Corvane)
  set(CORVANE_MACOS_MINIMUM 12.4)
  set(plist "${CMAKE_CURRENT_BINARY_DIR}/${target}-Info.plist")
  configure_file("${macos_dir}/Info.plist.in" "${plist}" @ONLY)

  set(icon "${macos_dir}/icon/Corvane.icns")
  target_sources(${target} PRIVATE "${icon}")
  set_source_files_properties("${icon}" PROPERTIES MACOSX_PACKAGE_LOCATION Resources)

  set_target_properties(${target} PROPERTIES
    MACOSX_BUNDLE TRUE
    OUTPUT_NAME "${CORVANE_BUNDLE_EXECUTABLE}"
    MACOSX_BUNDLE_INFO_PLIST "${plist}"
    # The same values again, for tools that read them from the target.
    MACOSX_BUNDLE_GUI_IDENTIFIER "${CORVANE_BUNDLE_IDENTIFIER}"
    MACOSX_BUNDLE_BUNDLE_NAME Corvane
    MACOSX_BUNDLE_BUNDLE_VERSION "${PROJECT_VERSION}"
    MACOSX_BUNDLE_SHORT_VERSION_STRING "${PROJECT_VERSION}"
    MACOSX_BUNDLE_ICON_FILE Corvane.icns
    # The installed program finds the frameworks macdeployqt puts in Contents/Frameworks: Qt 6
    # names them @rpath/QtWidgets.framework/..., and the install step drops the build's run
    # paths, so without this dyld stops before main ("no LC_RPATH's found"). The plugins in
    # Contents/PlugIns need nothing of their own: dyld also searches the program's run paths for
    # the libraries of a plugin that Qt opens. scripts/check-bundle holds the bundle to this.
    INSTALL_RPATH "@executable_path/../Frameworks"
  )

  find_program(CORVANE_CODESIGN codesign REQUIRED)
  # The bundle in the build tree, as scripts/run starts it.
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${CORVANE_CODESIGN}" --force --deep --sign - "$<TARGET_BUNDLE_DIR:${target}>"
    COMMENT "Signing Corvane.app ad hoc"
    VERBATIM)

  # macdeployqt sits beside the other Qt tools of the Qt the program is built with.
  set(qt_bin_hints)
  if(TARGET Qt6::qmake)
    get_target_property(qmake Qt6::qmake IMPORTED_LOCATION)
    if(qmake)
      get_filename_component(qt_bin "${qmake}" DIRECTORY)
      list(APPEND qt_bin_hints "${qt_bin}")
    endif()
  endif()
  if(Qt6_DIR)
    list(APPEND qt_bin_hints "${Qt6_DIR}/../../../bin")
  endif()
  find_program(CORVANE_MACDEPLOYQT NAMES macdeployqt macdeployqt6 HINTS ${qt_bin_hints}
    DOC "Qt's macdeployqt, which puts the Qt frameworks into Corvane.app")

  install(TARGETS ${target} BUNDLE DESTINATION . COMPONENT Corvane)
  set(app "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CORVANE_BUNDLE_EXECUTABLE}.app")
  if(CORVANE_MACDEPLOYQT)
    install(CODE "
      message(STATUS \"macdeployqt ${app}\")
      execute_process(COMMAND \"${CORVANE_MACDEPLOYQT}\" \"${app}\" -verbose=1
        COMMAND_ERROR_IS_FATAL ANY)
    " COMPONENT Corvane)
  else()
    message(WARNING "macdeployqt was not found: the installed Corvane.app will use the Qt "
      "frameworks of this machine and will not run elsewhere")
  endif()
  install(CODE "
    message(STATUS \"Signing ${app} ad hoc\")
    execute_process(COMMAND \"${CORVANE_CODESIGN}\" --force --deep --sign - \"${app}\"
      COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND \"${CORVANE_CODESIGN}\" --verify --deep \"${app}\"
      COMMAND_ERROR_IS_FATAL ANY)
  " COMPONENT Corvane)

  # The disk image: Corvane.app beside a link to /Applications (DragNDrop adds the link).
  set(CPACK_GENERATOR DragNDrop)
  set(CPACK_PACKAGE_NAME Corvane)
  set(CPACK_PACKAGE_VENDOR Corvane)
  set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
  set(CPACK_PACKAGE_FILE_NAME "Corvane-${PROJECT_VERSION}")
  set(CPACK_PACKAGE_ICON "${icon}")
  set(CPACK_DMG_VOLUME_NAME Corvane)
  set(CPACK_DMG_FORMAT UDZO)
  set(CPACK_OUTPUT_FILE_PREFIX "${PROJECT_BINARY_DIR}/package")
  # Only the bundle, not whatever else the project installs (build folder; project; component;
  # folder in the image).
  set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};Corvane;Corvane;/")
  include(CPack)
endfunction()
