# Sourced by the bash scripts: when a failing command stops the script (set -e), one line on
# stderr names the script, the command and its status. A script of ours that fails has said why
# itself, and is not named again by its caller.
orv_report_stop() {
    local status=$? script=${0##*/}
    case $BASH_COMMAND in
        *scripts/*.sh*) ;;
        *) echo "${script%.sh}: stopped: $BASH_COMMAND failed (exit status $status)" >&2 ;;
    esac
}
trap orv_report_stop ERR
