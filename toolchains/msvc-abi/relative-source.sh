#!/bin/sh
# Runs the compiler command it is given with the source file named relative to the working
# folder (the build folder, where Ninja runs it). clang-cl hashes the main file's name as given
# into the names of anonymous namespaces (?A0x...), which end up in the image's type
# descriptors; relative to the build folder, the name is the same for every build whose build
# folder sits at the same place in its source tree (build/<preset>).
set -e
for arg; do
  shift
  case $arg in
    /*.cpp | /*.cc | /*.c)
      if [ -f "$arg" ]; then
        arg=$(realpath -s --relative-to=. "$arg")
      fi
      ;;
  esac
  set -- "$@" "$arg"
done
exec "$@"
