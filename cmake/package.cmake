# The Debian package (cmake --build --preset package --target package; scripts/package wraps it).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME duve)
# The project has no mailbox or web site of its own; the reserved .invalid says so.
set(CPACK_PACKAGE_CONTACT "Duve developers <developers@duve.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "test tool for a Modbus RTU I/O module on a serial port")
set(CPACK_PACKAGE_DESCRIPTION [[
Duve is a desktop tool for testing one Modbus RTU I/O module with four voltage
and four current inputs, two voltage outputs, and its own device ID, baud rate
and character format. The operator picks a serial port, connects, reads each
input with its own button, writes the module's settings and outputs, and
watches a timestamped hexadecimal log of every frame on the line.

The package also holds duve-sim, a simulated module that answers like the
real one on a pseudo-terminal or a serial line.]])
set(CPACK_STRIP_FILES ON)

# A package is for the Debian release it is built on, with that release's libraries, and says
# so in its version (2.0.0+deb12, 2.0.0+deb13), so that an upgrade of the system to the next
# release takes the next release's package.
set(CPACK_DEBIAN_PACKAGE_VERSION ${DUVE_DEB_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by Qt at run time, so dpkg-shlibdeps cannot see them: the SVG plug-in draws the
# window's icon; cwTeX's Ming face stands in for the captions' and AR PL UMing's for the
# log's. The plug-in is in libqt6svg6 on Debian 12 and in a package of its own on 13: ask
# this machine which package holds it.
execute_process(COMMAND dpkg-query -S "*/qt6/plugins/imageformats/libqsvg.so"
                OUTPUT_VARIABLE svg_plugin RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "Qt's SVG image plug-in is not installed (scripts/install-deps package)")
endif()
string(REGEX REPLACE ":.*" "" svg_plugin "${svg_plugin}")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${svg_plugin}, fonts-cwtex-ming, fonts-arphic-uming")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
