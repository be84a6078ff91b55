# Fetching a Debian source package for the MinGW builds of scripts/setup.d, through a private
# copy of this machine's apt sources with deb-src added: the machine's apt configuration and
# lists stay untouched. Source it from bash, then:
#
#   morvelt_fetch_source PACKAGE WANTED WORK
#
# WANTED is the version to take when it is offered (may be empty: the current one); WORK a
# scratch folder. The source is unpacked into WORK/src, and MORVELT_SOURCE_VERSION says which
# version arrived. Returns non-zero, with apt's logs on stderr, when nothing could be fetched.
# The caller defines log().

morvelt_fetch_source() {
  local package=$1 wanted=$2 work=$3 apt_dir f dsc
  apt_dir=$work/apt
  mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
  : >"$apt_dir/sources.list"
  if [[ -f /etc/apt/sources.list ]]; then
    # One-line format: every "deb" line gains a "deb-src" twin.
    sed -n -E 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' /etc/apt/sources.list >>"$apt_dir/sources.list"
  fi
  shopt -s nullglob
  for f in /etc/apt/sources.list.d/*.list; do
    sed -n -E 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' "$f" >"$apt_dir/sources.list.d/$(basename "$f")"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    # deb822 format: a stanza of Types "deb" also serves "deb-src".
    sed -E '/^Types:/{/deb-src/!s/(^Types:.*[[:space:]])deb([[:space:]]|$)/\1deb deb-src\2/}' "$f" \
      >"$apt_dir/sources.list.d/$(basename "$f")"
  done
  shopt -u nullglob

  local apt_opts=(
    -o "Dir::Etc::sourcelist=$apt_dir/sources.list"
    -o "Dir::Etc::sourceparts=$apt_dir/sources.list.d"
    -o "Dir::State::Lists=$apt_dir/lists"
    -o "Dir::Cache=$apt_dir/cache"
    -o "APT::Sandbox::User=root"
    -o "Acquire::Languages=none"
    -q
  )

  log "reading source indexes"
  # Some configured index may be unreachable; what matters is whether the source can be fetched below.
  apt-get "${apt_opts[@]}" update </dev/null >"$work/apt-update.log" 2>&1 || log "apt-get update reported problems (continuing)"

  local src_dir=$work/src
  mkdir -p "$src_dir"
  MORVELT_SOURCE_VERSION=
  if [[ -n $wanted ]]; then
    if (cd "$src_dir" && apt-get "${apt_opts[@]}" source "$package=$wanted" </dev/null >"$work/apt-source.log" 2>&1); then
      MORVELT_SOURCE_VERSION=$wanted
    else
      log "$package $wanted not offered as source, taking the current one"
    fi
  fi
  if [[ -z $MORVELT_SOURCE_VERSION ]]; then
    rm -rf "${src_dir:?}"/*
    (cd "$src_dir" && apt-get "${apt_opts[@]}" source "$package" </dev/null >"$work/apt-source.log" 2>&1) || {
      cat "$work/apt-update.log" "$work/apt-source.log" >&2
      log "could not fetch the $package source package"
      return 1
    }
    dsc=$(ls "$src_dir"/"${package}"_*.dsc | head -n1)
    MORVELT_SOURCE_VERSION=$(sed -n 's/^Version:[[:space:]]*//p' "$dsc" | head -n1)
  fi
  log "$package source $MORVELT_SOURCE_VERSION"
}
