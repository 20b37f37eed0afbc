# The C and C++ files that the formatter lays out: every tracked source and
# header. Sourced by check-format.sh and format.sh; sets FORMAT_FILES and
# CLANG_FORMAT, and leaves the shell in the top folder of the tree.
cd "$(dirname "$0")/.." || exit 2
CLANG_FORMAT=${CLANG_FORMAT:-clang-format}
if [ -d .git ] || [ -f .git ]; then
  mapfile -t FORMAT_FILES < <(git ls-files -- '*.c' '*.cpp' '*.h')
else
  mapfile -t FORMAT_FILES < <(find adapter console monitor setup util winapi machine_store sim tools tests fuzz \
    -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) | sort)
fi
