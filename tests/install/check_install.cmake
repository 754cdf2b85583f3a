# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the build into a fresh prefix and checks that every file a user
# needs is in its usual place:
#   cmake -DBUILD=<build dir> -DPREFIX=<empty dir> -P check_install.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(expected
        bin/chipbox
        bin/chipbox-cli
        share/man/man1/chipbox.1
        share/man/man1/chipbox-cli.1
        share/bash-completion/completions/chipbox-cli
        share/applications/chipbox.desktop
        share/icons/hicolor/32x32/apps/chipbox.png
        share/icons/hicolor/256x256/apps/chipbox.png
        share/icons/hicolor/scalable/apps/chipbox.svg
        share/doc/chipbox/LICENSE)
    if(NOT EXISTS ${PREFIX}/${expected})
        message(FATAL_ERROR "missing after install: ${expected}")
    endif()
endforeach()
execute_process(COMMAND ${PREFIX}/bin/chipbox-cli --version OUTPUT_VARIABLE version)
if(NOT version MATCHES "Chipbox v0.965")
    message(FATAL_ERROR "the installed chipbox-cli does not run: ${version}")
endif()
