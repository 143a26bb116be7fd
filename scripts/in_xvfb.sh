# Sourced by the window scripts. kelvo_in_xvfb BUILD SCRIPT ARGS...: outside
# the virtual display, makes a data set in a fresh folder, runs SCRIPT ARGS...
# FOLDER on a 1024 x 768 Xvfb screen, removes the folder and exits with the
# script's status; inside it (the second run), returns at once.
kelvo_in_xvfb() {
    [ -z "${KELVO_IN_XVFB:-}" ] || return 0
    local build="$1"
    shift
    folder="$(mktemp -d)"
    trap 'rm -rf "$folder"' EXIT
    "$build/datagen" "$folder" >/dev/null
    KELVO_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" "$@" "$folder"
    exit
}
