#!/usr/bin/env bash
# Refreshes the public libraries the browser pages load from the program itself
# (no internet needed by a browser): jQuery 3.5.1, Popper 1.16.0, Bootstrap
# 4.5.2 and Font Awesome 4.7.0, taken from the npm registry with `npm pack`.
# Files land where the "/assets" route serves them:
#   js/    -> /assets?_type=js&_name=<file>
#   css/   -> /assets?_type=css&_name=<file>
#   assets/-> /assets?_type=img&_name=<file>   (the icon font files)
# Source-map comments are dropped (the maps are not shipped) and Font Awesome's
# font URLs are rewritten to the "/assets" route, keeping their version as the
# "v" parameter (browsers keep versioned files for a year). Licence texts go to
# licenses/; the packages of Popper and Font Awesome carry none, so those two
# files are kept in the tree and only checked here.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

cd "$tmp"
npm pack --silent jquery@3.5.1 popper.js@1.16.0 bootstrap@4.5.2 font-awesome@4.7.0 >/dev/null
for f in *.tgz; do
    mkdir "${f%.tgz}"
    tar xzf "$f" -C "${f%.tgz}"
done

nomap() { sed -e '/sourceMappingURL=/d' "$1" > "$2"; }

nomap jquery-3.5.1/package/dist/jquery.min.js "$here/js/jquery-3.5.1.min.js"
nomap popper.js-1.16.0/package/dist/umd/popper.min.js "$here/js/popper-1.16.0.min.js"
nomap bootstrap-4.5.2/package/dist/js/bootstrap.min.js "$here/js/bootstrap-4.5.2.min.js"
nomap bootstrap-4.5.2/package/dist/css/bootstrap.min.css "$here/css/bootstrap-4.5.2.min.css"

fa=font-awesome-4.7.0/package
asset="/assets?_type=img\&_name="
# One @font-face src list, served by the "/assets" route; the IE-only EOT and
# the legacy SVG font are not shipped.
sed -e "s#src:url('../fonts/fontawesome-webfont.eot?v=4.7.0');##" \
    -e "s#url('../fonts/fontawesome-webfont.eot?\#iefix&v=4.7.0') format('embedded-opentype'),##" \
    -e "s#,url('../fonts/fontawesome-webfont.svg?v=4.7.0\#fontawesomeregular') format('svg')##" \
    -e "s#url('../fonts/\(fontawesome-webfont\.[a-z0-9]*\)?v=4.7.0')#url('${asset}\1\&v=4.7.0')#g" \
    "$fa/css/font-awesome.min.css" > "$here/css/font-awesome-4.7.0.min.css"
if grep -q "\.\./fonts" "$here/css/font-awesome-4.7.0.min.css"; then
    echo "font-awesome: a font URL was not rewritten" >&2
    exit 1
fi
for ext in woff2 woff ttf; do
    cp "$fa/fonts/fontawesome-webfont.$ext" "$here/assets/"
done

cp jquery-3.5.1/package/LICENSE.txt "$here/licenses/jquery-3.5.1-LICENSE.txt"
cp bootstrap-4.5.2/package/LICENSE "$here/licenses/bootstrap-4.5.2-LICENSE.txt"
for f in popper-1.16.0-LICENSE.txt font-awesome-4.7.0-LICENSE.txt; do
    test -s "$here/licenses/$f" || { echo "missing licenses/$f" >&2; exit 1; }
done
echo "libraries updated in $here"
