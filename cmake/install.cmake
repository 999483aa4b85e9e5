# Install rules of the library, its headers and the tool.
include(GNUInstallDirs)
install(TARGETS zerir2settings EXPORT zerir2settingsTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY include/zerir2 DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS zerir2-settings RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
