# Sourced by the scripts that run under `set -e`: a command that stops the
# script says which it was and where, instead of ending the run in silence.
set -E
trap 'fwdl_failed=$?; echo "$(basename "$0"): stopped at line $LINENO: \"$BASH_COMMAND\" failed (exit $fwdl_failed)" >&2' ERR
