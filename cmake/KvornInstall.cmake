# SPDX-License-Identifier: GPL-3.0-or-later
# Install layout (FHS / XDG through GNUInstallDirs) and files whose text names installed paths.
include(GNUInstallDirs)

# Software centres link to it and take only web addresses. K-Vorn has no web site yet: the
# address stands for its help page (doc/help.html) under the domain of its contact address.
set(KVORN_HOMEPAGE "https://kvorn.invalid/help.html" CACHE STRING "The program's home page")

# kvorn_install_configured(<template.in> <destination>)
# Installs <template> without its ".in" into <destination> (relative to the prefix), with
# @KVORN_INSTALLED_PROGRAM@, @KVORN_HOSTS_HELPER_INSTALLED@, @KVORN_HOMEPAGE@,
# @PROJECT_VERSION@ and @KVORN_RELEASE_DATE@ replaced. Further arguments are CMake code run at install time before
# the file is written; it may change \${_target}.
# The paths are worked out when installing, not when configuring: `cmake --install --prefix`
# and the package build install under another prefix than the configured one.
function(kvorn_install_configured template destination)
  get_filename_component(_name "${template}" NAME)
  string(REGEX REPLACE "\\.in$" "" _name "${_name}")
  install(CODE "
    set(PROJECT_VERSION \"${PROJECT_VERSION}\")
    set(KVORN_RELEASE_DATE \"${KVORN_RELEASE_DATE}\")
    set(_prefix \"\${CMAKE_INSTALL_PREFIX}\")
    cmake_path(NORMAL_PATH _prefix)
    set(_bindir \"${CMAKE_INSTALL_BINDIR}\")
    set(_libexecdir \"${CMAKE_INSTALL_LIBEXECDIR}\")
    set(_destination \"${destination}\")
    foreach(_dir _bindir _libexecdir _destination)
      cmake_path(ABSOLUTE_PATH \${_dir} BASE_DIRECTORY \"\${_prefix}\" NORMALIZE)
    endforeach()
    set(KVORN_INSTALLED_PROGRAM \"\${_bindir}/kvorn\")
    set(KVORN_HOSTS_HELPER_INSTALLED \"\${_libexecdir}/kvorn/kvorn-hosts-helper\")
    set(KVORN_HOMEPAGE \"${KVORN_HOMEPAGE}\")
    set(_target \"\$ENV{DESTDIR}\${_destination}/${_name}\")
    ${ARGN}
    message(STATUS \"Installing: \${_target}\")
    configure_file(\"${template}\" \"\${_target}\" @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  ")
endfunction()
