#!/usr/bin/env bash
# Installs what is missing, builds everything the packages hold and makes them in the build
# folder: the .deb (orvane-cards_<version>_amd64.deb) and the .tar.gz of the program folder
# (orvane-cards-<version>-Linux.tar.gz).
source "$(dirname "$0")/common.sh"
install_missing run build
build orvane_package_inputs
cd "$BUILD"
cpack -G "DEB;TGZ"
