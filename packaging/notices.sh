#!/bin/sh
# Writes the licences of the third-party code compiled into an artifact,
# taken at build time from the copyright files of the Debian packages it
# was built with, so that the notice follows those packages' changes.
#   usage: notices.sh win32|win64|web OUTPUT
#          notices.sh linux OUTPUT CXX   (the static Linux program built by CXX)
set -eu
out=$2
doc=/usr/share/doc

# The paragraphs of a machine-readable copyright file ($2) whose Files
# match the regular expression $1, and the stand-alone License paragraphs
# that they name.
paragraphs() {
  awk -v want="$1" '
    BEGIN { RS = ""; FS = "\n" }
    { text[NR] = $0 }
    $1 ~ /^Files:/ {
      files = $1
      for (i = 2; i <= NF && $i ~ /^[ \t]/; ++i) files = files " " $i
      sub(/^Files:/, "", files)
      n = split(files, patterns, /[ \t]+/)
      for (j = 1; j <= n; ++j) if (patterns[j] != "" && patterns[j] ~ want) chosen[NR] = 1
      if (!chosen[NR]) next
      for (i = 1; i <= NF; ++i) if ($i ~ /^License:/) {
        names = $i
        sub(/^License:[ \t]*/, "", names)
        k = split(names, name, / or | and |, /)
        for (j = 1; j <= k; ++j) needed[name[j]] = 1
      }
    }
    $1 ~ /^License:/ { own = $1; sub(/^License:[ \t]*/, "", own); licence[NR] = own }
    END {
      for (i = 1; i <= NR; ++i) if (chosen[i]) print text[i] "\n"
      for (i = 1; i <= NR; ++i) if ((i in licence) && (licence[i] in needed)) print text[i] "\n"
    }' "$2"
}

# Lines of a file ($3) from the one that begins with $1 to the one that
# begins with $2.
between() { awk -v from="$1" -v to="$2" 'index($0, from) == 1 { on = 1 } on { print } on && index($0, to) == 1 { exit }' "$3"; }

# Prints what the command $@ prints, and fails if that is nothing: a
# copyright file that changed its form must not leave a licence out.
part() {
  text=$("$@")
  [ -n "$text" ] || { echo "notices.sh: nothing found by: $*" >&2; exit 1; }
  printf '%s\n\n' "$text"
}

heading() {
  printf '%s\n' "========================================================================" \
                "$1 (dal pacchetto Debian $2 $(dpkg-query -W -f '${Version}' "$2"))" \
                "========================================================================" ""
}

# The Debian package that holds the library $1 that the compiler $CXX
# links, named without its architecture.
holder() {
  file=$(realpath "$("$CXX" -print-file-name="$1")")
  package=$(dpkg -S "$file") || { echo "notices.sh: no Debian package holds $file" >&2; exit 1; }
  echo "${package%%[:,]*}"
}

# The Debian source that the package $1 was built from, as "name version":
# a cross package (libc6-dev-arm64-cross) is rebuilt by another source
# (cross-toolchain-base) from the original's, which its changelog names.
debian_source() {
  zcat "$doc/$1/changelog.Debian.gz" | sed -n '1s/^\([^ ]*\) (\([^)]*\)).*/\1 \2/p'
}

# Where the exact source of the package $1 is to be had, and the commands
# that fetch it.
where_source() {
  set -- "$1" $(debian_source "$1") $(dpkg-query -W -f '${source:Package} ${source:Version}' "$1")
  echo "Il sorgente esatto è il pacchetto sorgente Debian $2 $3:"
  echo "    apt-get source $2=$3"
  echo "oppure da https://snapshot.debian.org/package/$2/$3/"
  if [ "$4" != "$2" ]; then
    echo "Il pacchetto $1 ne è ricavato dal pacchetto sorgente $4 $5:"
    echo "    apt-get source $4=$5"
    echo "oppure da https://snapshot.debian.org/package/$4/$5/"
  fi
}

{
  echo "teklo contiene, compilato al suo interno, codice di terzi: le sue licenze"
  echo "seguono qui, tratte dai file di copyright dei pacchetti Debian con cui"
  if [ "$1" = linux ]; then
    echo "teklo è stato costruito. La licenza di teklo è in LICENSE."
  else
    echo "teklo è stato costruito. La licenza di teklo è in LICENSE.txt."
  fi
  echo
  case $1 in
    win32 | win64)
      mingw=mingw-w64-x86-64-dev
      [ "$1" = win64 ] || mingw=mingw-w64-i686-dev
      heading "MinGW-w64: la libreria di avvio e di sistema del programma" $mingw
      part paragraphs '^(\*|mingw-w64-crt/.*)$' "$doc/$mingw/copyright"
      heading "GCC: libgcc e libstdc++" gcc-mingw-w64-base
      part between 'The following runtime libraries are licensed' ' - libvtv' "$doc/gcc-mingw-w64-base/copyright"
      part between 'GCC RUNTIME LIBRARY EXCEPTION' 'requirements of the license of GCC.' "$doc/gcc-mingw-w64-base/copyright"
      ;;
    web)
      heading "Emscripten e le sue librerie di sistema (musl, libc++, libc++abi, compiler-rt)" emscripten
      part paragraphs '^(\*|system/lib/.*)$' "$doc/emscripten/copyright"
      ;;
    linux)
      CXX=$3
      libc=$(holder libc.a)
      libstdcxx=$(holder libstdc++.a)
      libgcc=$(holder libgcc.a)
      heading "La libreria C GNU (glibc), collegata staticamente" "$libc"
      part where_source "$libc"
      cat <<'EOF'
La glibc è distribuita sotto la GNU Lesser General Public License 2.1 (il
testo completo segue). teklo la contiene, collegata staticamente: per la
sezione 6 di quella licenza chi riceve teklo deve poterlo ricollegare con
una glibc modificata. Il sorgente completo di teklo è nella stessa
release (teklo-<versione>.tar.gz): con la glibc modificata al posto di
quella del compilatore, `cmake -S . -B build -DTEKLO_STATIC=ON` e poi
`cmake --build build` rifanno il programma collegato a quella. Il
sorgente della glibc usata è indicato sopra.

EOF
      part cat "$doc/$libc/copyright"
      part cat /usr/share/common-licenses/LGPL-2.1
      heading "GCC: libstdc++ e libgcc ($libgcc), collegate staticamente" "$libstdcxx"
      part where_source "$libstdcxx"
      part between 'The following runtime libraries are licensed' ' - libvtv' "$doc/$libstdcxx/copyright"
      part between 'GCC RUNTIME LIBRARY EXCEPTION' 'requirements of the license of GCC.' "$doc/$libstdcxx/copyright"
      ;;
    *) echo "notices.sh: win32, win64, web or linux, not '$1'" >&2; exit 1 ;;
  esac
} > "$out.new"
# Windows' own programs read CR LF line ends.
if [ "$1" != web ] && [ "$1" != linux ]; then sed 's/$/\r/' "$out.new" > "$out" && rm "$out.new"; else mv "$out.new" "$out"; fi
