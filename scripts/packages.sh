# Installs the Debian packages the build, the tests and the game need, when
# any is missing. Sourced by run.sh and test.sh.
KELVO_PACKAGES="build-essential cmake ninja-build pkg-config clang \
libsdl2-dev libpng-dev zlib1g-dev libjpeg62-turbo-dev libvorbis-dev libogg-dev \
libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev libfluidsynth-dev \
timgm6mb-soundfont libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-ipafont-gothic \
googletest libgtest-dev libgmock-dev libbenchmark-dev libpixman-1-dev libx11-dev xvfb xauth xdotool \
python3 ccache lighttpd openbox wmctrl"

kelvo_install_packages() {
    local missing=""
    for p in $KELVO_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    if [ -n "$missing" ]; then
        echo "Installing:$missing"
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing
    fi
}
