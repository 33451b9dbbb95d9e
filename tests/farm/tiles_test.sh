#!/bin/sh
# Tiles rendered apart merge into the whole render bit for bit, as EXR and as PNG (exposure,
# alpha and a label across the bands are applied to the merged frame); what cannot be merged or
# submitted is refused by name, with nothing written.
#   tiles_test.sh BINDIR WORKDIR
set -eu
bin=$1
dir=$2/farm-tiles
rm -rf "$dir" && mkdir -p "$dir" && cd "$dir"
fail() { echo "FAIL: $*" >&2; exit 1; }
render() { "$bin/tarvo-render" -q "$@"; }

cat > scene.json <<'SCENE'
{"settings": {"width": 48, "height": 20, "samples": 2, "exposure": 1.5, "film": "transparent"},
 "shaders": {"m": {"class": "quarra_Mtl_Unlit", "parameters": {"diffuseColor": [1, 0.5, 0.2]}}},
 "objects": [{"name": "ball", "type": "sphere", "radius": 3, "material": "m"}],
 "labels": [{"text": "ball", "at": [0, 0, 0], "size": 14}]}
SCENE
render scene.json -o whole.exr && render scene.json -o whole.png
for i in 1 2 3; do render scene.json --tile $i/3 -o t$i.exr; done
render --merge t3.exr t1.exr t2.exr -o merged.exr && cmp whole.exr merged.exr
render --merge t1.exr t2.exr t3.exr -o merged.png && cmp whole.png merged.png
render scene.json --seed 7 --tile 2/3 -o seed.exr
sed 's/"radius": 3/"radius": 2/' scene.json > other.json && render other.json --tile 2/3 -o other.exr
mkdir empty && ln -s "$(python3 -c "import sys; print(sys.executable)")" empty/python3

# Expected exit | message | command
while IFS='|' read -r code message command; do
  set +e
  out=$(eval "$command" 2>&1)
  got=$?
  set -e
  [ "$got" = "$code" ] || fail "$command: exit $got, not $code: $out"
  case $out in *"$message"*) ;; *) fail "$command: '$out' does not say '$message'" ;; esac
done <<'CASES'
2|the tile must be from 1 to 3|render scene.json --tile 4/3 -o x.exr
2|a frame splits into 1 tile or more|render scene.json --tile 1/0 -o x.exr
2|the frame has 20 rows and splits into bands of whole rows: 21 tiles are too many|render scene.json --tile 1/21 -o x.exr
2|a tile is written as .exr|render scene.json --tile 1/2 -o x.png
1|'seed.exr' is a tile of another render than 't1.exr': its setting 'seed' is 7, not 1|render --merge t1.exr seed.exr t3.exr -o x.exr
1|'other.exr' is a tile of another render than 't1.exr': its scene is 'other.json', not 'scene.json'|render --merge t1.exr other.exr t3.exr -o x.exr
1|'t2.exr' and 't2.exr' are both tile 2 of 3|render --merge t1.exr t2.exr t2.exr t3.exr -o x.exr
1|tile 2 of 3 is missing; the frame is not written|render --merge t1.exr t3.exr -o x.exr
1|'whole.exr' is not a tile of tarvo-render|render --merge whole.exr -o x.exr
2|21 tiles are too many|"$bin/tarvo-farm" submit scene.json -o x.exr --tiles 21 --dry-run --single-node
2|under /tmp, which every node has its own of|"$bin/tarvo-farm" submit scene.json -o /tmp/x.exr --tiles 2 --dry-run
2|farm-tiles/none does not exist|"$bin/tarvo-farm" submit scene.json -o none/x.exr --tiles 2
2|sbatch is not on the PATH|PATH=$dir/empty python3 "$bin/tarvo-farm" submit scene.json -o x.exr --tiles 2 --single-node
CASES
[ ! -e x.exr ] && [ ! -e x.png ] || fail "a refused command wrote an image"
echo "tiles merge bit-identically; 13 refusals named"
