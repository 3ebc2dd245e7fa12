#!/usr/bin/env bash
# Turns a content source folder into one ".lba" package:
#   build-package.sh <source-folder> <package-name> <out.lba> <vn-lba-path>
#
# In the staged copy:
#   name.jpg.svg          -> name.jpg (rendered, then JPEG-compressed)
#   name.svg              -> name.png
#   txt/<lang>/*.txt      -> txt/<lang>.txt (concatenated in byte order of the file names)
#   name.ttf.from         -> name.ttf copied from the absolute path written in the file
#   anything else         -> copied as it is
# Any failure stops the build with a message; no half-written package is left behind. <out.lba> is
# replaced only when its bytes change.
set -euo pipefail
export LC_ALL=C

die() { echo "build-package: $*" >&2; exit 1; }

[ $# -eq 4 ] || die "usage: build-package.sh <source-folder> <package-name> <out.lba> <vn-lba-path>"
source_dir=$1
package=$2
out=$3
packer=$4
jpeg_quality=${VN_JPEG_QUALITY:-90}

[ -d "$source_dir" ] || die "no source folder: $source_dir"
[ -x "$packer" ] || die "packer not executable: $packer"
[[ "$package" =~ ^[A-Za-z0-9_.-]+$ && "$package" != *..* ]] || die "bad package name: $package"
command -v rsvg-convert >/dev/null || die "rsvg-convert missing (Debian package librsvg2-bin)"

staging=$(mktemp -d "${TMPDIR:-/tmp}/vn-package.XXXXXX")
trap 'rm -rf "$staging"' EXIT

# Refuses two sources that would produce the same packaged file.
claim() {
    local target=$staging/$1
    [ ! -e "$target" ] || die "$1 is produced twice in $source_dir"
    mkdir -p "$(dirname "$target")"
}

while IFS= read -r -d '' file; do
    rel=${file#"$source_dir"/}
    case "$rel" in
        txt/*/*.txt)
            lang_dir=${rel%/*}
            [[ "$lang_dir" != */*/* ]] || die "text files sit directly in txt/<lang>/: $rel"
            ;; # concatenated below
        txt/*/*)
            die "only .txt files belong in a language folder: $rel"
            ;;
        *.jpg.svg)
            target=${rel%.svg}
            claim "$target"
            rsvg-convert --format=png --output="$staging/$target.png" "$file" || die "cannot render $rel"
            command -v convert >/dev/null || die "convert missing (Debian package imagemagick)"
            convert "$staging/$target.png" -background black -flatten -quality "$jpeg_quality" "$staging/$target" \
                || die "cannot convert $rel to JPEG"
            rm -f "$staging/$target.png"
            ;;
        *.svg)
            target=${rel%.svg}.png
            claim "$target"
            rsvg-convert --format=png --output="$staging/$target" "$file" || die "cannot render $rel"
            ;;
        *.ttf.from)
            target=${rel%.from}
            claim "$target"
            font=$(head -n 1 "$file")
            [[ "$font" == /* ]] || die "$rel must name an absolute path, not '$font'"
            [ -f "$font" ] || die "$rel names $font, which does not exist (Debian package fonts-dejavu-core?)"
            cp "$font" "$staging/$target"
            ;;
        *)
            claim "$rel"
            cp "$file" "$staging/$rel"
            ;;
    esac
done < <(find "$source_dir" -type f ! -name '.gitkeep' -print0 | sort -z)

if [ -d "$source_dir/txt" ]; then
    while IFS= read -r -d '' lang_dir; do
        lang=${lang_dir##*/}
        claim "txt/$lang.txt"
        : > "$staging/txt/$lang.txt"
        while IFS= read -r -d '' part; do
            cat "$part" >> "$staging/txt/$lang.txt"
            # A part without a final line break must not run into the next part's first key.
            [ -z "$(tail -c 1 "$part")" ] || echo >> "$staging/txt/$lang.txt"
        done < <(find "$lang_dir" -maxdepth 1 -type f -name '*.txt' -print0 | sort -z)
    done < <(find "$source_dir/txt" -mindepth 1 -maxdepth 1 -type d -print0 | sort -z)
fi

mkdir -p "$(dirname "$out")"
"$packer" pack "$package" "$staging" "$out.tmp" || { rm -f "$out.tmp"; die "packing $package failed"; }
# The same bytes leave the old file and its date alone, so a repack after a packer change that did
# not change the package rebuilds and copies nothing after it.
if cmp -s "$out.tmp" "$out"; then
    rm -f "$out.tmp"
else
    mv -f "$out.tmp" "$out"
fi
