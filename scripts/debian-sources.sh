# Sourced by the scripts that build the engine's libraries from Debian's
# own source packages (scripts/build-windows-deps, scripts/build-lean):
# where their builds are kept, how the sources are fetched, and the audio-only
# FFmpeg they make.

# The cache outside the clone: $QUAV_CACHE_DIR, else $XDG_CACHE_HOME/quavlin,
# else ~/.cache/quavlin (/var/cache/quavlin without a home).
quav_cache_root() {
  if [ -n "${QUAV_CACHE_DIR:-}" ]; then
    echo "$QUAV_CACHE_DIR"
  elif [ -n "${XDG_CACHE_HOME:-}" ] || [ -n "${HOME:-}" ]; then
    echo "${XDG_CACHE_HOME:-$HOME/.cache}/quavlin"
  else
    echo /var/cache/quavlin
  fi
}

# The source version of the installed (else the candidate) binary package.
source_version() {
  dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null ||
    apt-cache show "$1" | sed -n 's/^Version: //p' | head -1
}

# fetch_debian_sources WORK SOURCE=VERSION:DIR...
# Unpacks each source package into WORK/src/DIR, fetched with `apt-get
# source` through a private apt state whose deb-src entries mirror the
# Debian entries of the machine's sources (deb822 stanzas and one-line
# entries alike).
fetch_debian_sources() {
  local work=$1
  shift
  local apt_dir=$work/apt
  mkdir -p "$apt_dir"/{sources.list.d,lists/partial,cache/archives/partial} "$work/src"
  {
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -e "$f" ] || continue
      awk 'BEGIN { RS = ""; ORS = "\n\n" }
           /(^|\n)Types:[^\n]*deb/ && /(^|\n)URIs:[^\n]*debian/ {
             sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f"
    done
  } > "$apt_dir/sources.list.d/debian-src.sources"
  {
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -e "$f" ] || continue
      # The address itself names Debian (not only a keyring in the options).
      sed -n -E 's/^[[:space:]]*deb[[:space:]]+((\[[^]]*\][[:space:]]+)?[a-z+]+:[^[:space:]]*debian.*)$/deb-src \1/p' "$f"
    done
  } > "$apt_dir/sources.list.d/debian-src.list"
  local apt_options=(
    -o Dir::Etc::SourceList=/dev/null
    -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
    -o Dir::State::Lists="$apt_dir/lists"
    -o Dir::Cache="$apt_dir/cache"
    -o Dir::Etc::Preferences=/dev/null
    -o Dir::Etc::PreferencesParts=/dev/null
    -o APT::Sandbox::User=root
  )
  apt-get "${apt_options[@]}" -qq update
  local wanted name dir
  for wanted in "$@"; do
    name=${wanted%%=*}
    dir=${wanted##*:}
    (cd "$work/src" &&
      apt-get "${apt_options[@]}" -qq source --download-only "${wanted%:*}" &&
      dpkg-source --no-check -x "${name}"_*.dsc "$dir" > /dev/null)
  done
}

# build_ffmpeg WORK PREFIX [CONFIGURE OPTION...]
# Builds WORK/src/ffmpeg for audio only (the decoders, demuxers and parsers
# of the formats the engine plays, the file protocol, the resampler):
# static, no programs, no network, no hardware acceleration, nothing
# detected on its own. The options given add the target's own. The licence
# texts go to PREFIX/licenses, the configure line to
# PREFIX/ffmpeg-configure.txt.
build_ffmpeg() {
  local work=$1 prefix=$2
  shift 2
  local decoders=(
    mp1 mp1float mp2 mp2float mp3 mp3float vorbis opus flac alac aac aac_fixed aac_latm
    ape wavpack tta mpc7 mpc8 wmav1 wmav2 wmapro wmalossless ac3 eac3
    dsd_lsbf dsd_msbf dsd_lsbf_planar dsd_msbf_planar 'pcm_*' adpcm_ms adpcm_ima_wav gsm_ms
  )
  local demuxers=(
    mp3 ogg flac wav w64 aiff caf au mov matroska avi asf ape wv mpc mpc8 tta aac ac3 eac3
    dsf iff wsd mpegts mpegps flv
  )
  local parsers=(mpegaudio vorbis opus flac aac aac_latm ac3)
  local IFS=,
  local configure=(
    --prefix="$prefix" "$@"
    --enable-static --disable-shared --disable-debug --disable-doc --disable-programs
    --disable-network --disable-autodetect --disable-everything
    --disable-avdevice --disable-avfilter --disable-swscale --disable-postproc --enable-swresample
    --enable-protocol=file
    --enable-decoder="${decoders[*]}"
    --enable-demuxer="${demuxers[*]}"
    --enable-parser="${parsers[*]}"
  )
  unset IFS
  mkdir -p "$work/build-ffmpeg" "$prefix/licenses"
  (cd "$work/build-ffmpeg" &&
    "$work/src/ffmpeg/configure" "${configure[@]}" > configure.log &&
    make -j"${JOBS:-$(nproc)}" > make.log 2>&1 &&
    make install > install.log) || {
    tail -n 40 "$work/build-ffmpeg"/*.log "$work/build-ffmpeg/ffbuild/config.log" 2>/dev/null >&2
    return 1
  }
  printf 'configure %s\n' "${configure[*]}" | sed "s|$prefix|PREFIX|g" > "$prefix/ffmpeg-configure.txt"
  local f
  for f in LICENSE.md COPYING.LGPLv2.1; do
    cp "$work/src/ffmpeg/$f" "$prefix/licenses/FFmpeg-$f"
  done
  cp "$work/src/ffmpeg/debian/copyright" "$prefix/licenses/FFmpeg-debian-copyright"
}
