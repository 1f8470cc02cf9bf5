# `cpack -G DEB` in the build folder makes pivotta_<version>_<arch>.deb from the install rules.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pivotta)
set(CPACK_PACKAGE_VENDOR Tollemark)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Lossless JPEG rotation and mirroring")
set(CPACK_PACKAGE_DESCRIPTION
    "Pivotta rotates and mirrors JPEG photographs without any loss of quality: the picture is\nnever decoded, its coefficients are rearranged and re-encoded. It comes as a desktop\nprogram (Japanese user interface) and as the command-line tool pivotta-cli for batches.")
set(CPACK_PACKAGE_CONTACT "Pivotta developers <pivotta@tollemark.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tollemark.invalid/pivotta")
# The Debian 12 runtime packages the two programs link against; the Qt plugins draw the
# window (xcb) and the toolbar's SVG icons.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.36), libstdc++6 (>= 12), libgcc-s1, libjpeg62-turbo (>= 1:2.1), libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6svg6 (>= 6.4), qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-svg-plugins, qt6-translations-l10n, fonts-noto-cjk")
include(CPack)
