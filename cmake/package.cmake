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

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by Qt at run time, so dpkg-shlibdeps cannot see them: the SVG icon engine
# draws the window's icon; cwTeX's Ming face stands in for the captions' and AR PL UMing's
# for the log's.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, fonts-cwtex-ming, fonts-arphic-uming")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
