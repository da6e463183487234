# CPack: two Debian packages from the two install components, t720 and t720-bench
# (scripts/package builds and checks them). Runtime dependencies come from
# dpkg-shlibdeps, plus the Qt platform plugins, which the program loads by name.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME t720)
set(CPACK_PACKAGE_VENDOR ZOR)
set(CPACK_PACKAGE_CONTACT "T720 team <t720-team@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program bench)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The descriptions: a synopsis, then lines that CPack indents by one blank.

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME t720)
# libqt6svg6 writes the plot as SVG (dpkg-shlibdeps finds it as well); the PDF
# report is Qt's own (libqt6gui6).
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SUGGESTS "t720-bench")
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION
    "control program of the T720 strain-gauge bridge calibrator
Sets what a T720 calibrator outputs (channel, range in mV/V, level, sign,
half bridge, ready state, beeper) over the maker's USB library or an
RS-232 port, measures the calibrator's divider with a precision DMM,
evaluates its linearity and searches the best trimming shunts. Every
run is kept; two runs are compared (as found, as left) and reported
in a printable PDF.
t720-ctl sets it from scripts and test stands through the running program.
.
The maker's USB library is not part of this package.")

set(CPACK_DEBIAN_BENCH_PACKAGE_NAME t720-bench)
set(CPACK_DEBIAN_BENCH_PACKAGE_ENHANCES "t720")
set(CPACK_DEBIAN_BENCH_DESCRIPTION
    "simulated T720 calibrator and DMM for training and demonstrations
Serves a simulated T720 calibrator on a pseudo-terminal and on a local
socket, with a stand-in of the maker's USB library that forwards to it,
and a DMM that measures the calibrator's divider. Faults of the devices
and of their lines can be switched on.
.
The stand-in library is installed where the program never loads it by
itself; it is used only when T720_USBCAL_LIBRARY names it.")

include(CPack)
