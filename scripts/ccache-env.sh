# Sourced by the build scripts: every build goes through Debian's ccache,
# whose cache (~/.cache/ccache) outlives the clone, so a run after a small
# change recompiles only what changed. Paths under the project's root are
# hashed relative to it: another clone of the same sources hits the same
# entries.
export CCACHE_BASEDIR="$FWDL_ROOT"
# Debug information then names the directory of the first clone that
# compiled a file; nothing reads it but a debugger.
export CCACHE_NOHASHDIR=1
fwdl_compiler_launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
