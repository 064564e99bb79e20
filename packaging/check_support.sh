# What the packaging checks share; sourced, with `check` set to the check's
# name for its messages.

fail() {
  echo "$check: $*" >&2
  exit 1
}

# A missing tool fails the check: it is never passed over.
need() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup installs it)"
  done
}

# A fresh folder for this run, removed when the check ends however it ends.
# Further cleanup goes into the function cleanup_more, called first.
make_work_dir() {
  work=$(mktemp -d "/tmp/orvalen-$check-XXXXXX")
  trap end_check EXIT
  trap 'exit 1' INT TERM HUP
}
end_check() {
  local status=$?
  set +e
  trap - EXIT
  declare -F cleanup_more >/dev/null && cleanup_more
  rm -rf "$work"
  exit "$status"
}

# Installs the build folder $1 under the prefix $2, as a user would.
install_build() {
  cmake --install "$1" --prefix "$2" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "cmake --install $1 failed"; }
}
