#!/usr/bin/env bash
# Builds a corpus of FS2004 summer tiles from real aerial photographs: the photographic
# terrain textures of Debian's flightgear-data-base (installed when missing; 1.8 GB, so
# neither the tests nor CI need it). One 256 x 256 tile is cut from the middle of each
# photograph and converted through libkovar; the cut is kept beside the texture as an
# uncompressed Targa ("<address>summer.tga") for measuring codecs on pixels that never went
# through one.
#
# Usage: scripts/make-corpus.sh [--holdout | --check] [output folder]
#   default output: build/corpus (build/corpus-holdout with --holdout, build/corpus-check
#   with --check)
#   --holdout: photographs the main corpus does not use; the seasons are now tuned on the
#              main corpus and these together
#   --check:   photographs neither of the others uses, chosen by kind alone, for a check on
#              pictures that no rule was tuned on or looked at while tuning
# The folder's file "sources.txt" names the photograph of each tile.
set -euo pipefail
cd "$(dirname "$0")/.."

set_name=main
default_out=build/corpus
case "${1:-}" in
--holdout | --check)
    set_name=${1#--}
    default_out=build/corpus-$set_name
    shift
    ;;
esac
out=${1:-$default_out}
terrain=/usr/share/games/flightgear/Textures/Terrain

# Farmland, pasture, forest, towns, industry, marsh and scrub: what photo-real scenery covers.
main=(countryside1.green countryside2.green uk_countryside1 cropgrass-hires mixedcrop1
      mixedcrop2 irrcrop-europe drycrop1 california-mixedcrop deciduous-hires
      mixedforest-hires forest1a coniferous_forest orchard town-europe city1 industrial
      california-town australia_suburbs 18th_century_city Town1 transport grass_green_hires
      golfcourse1 marsh2 shrub1 tundra2 herbtundra)
holdout=(countryside3.green countryside4.green uk_countryside2 mixedcrop3 irrcrop1 cropwood
         deciduous1 mixedforest2 forest1b california-forest town-europe-south city2
         industrial-alt mediterranean_city1)
check=(california-town2 latin_american_city1 town-middle-east australia-commercial
       town-caribbean industry-midle-east cropgrass2 mixedcrop4 drycrop3 irrcrop2 deciduous2
       forest1c mixedforest3 dec_evergreen-hires shrub2)

scripts/deps.sh flightgear-data-base
scripts/build.sh default tessavane-samplegen

case "$set_name" in
holdout) names=("${holdout[@]}") ;;
check) names=("${check[@]}") ;;
*) names=("${main[@]}") ;;
esac
pictures=()
for name in "${names[@]}"; do
    pictures+=("$terrain/$name.png")
done

rm -rf "$out"
mkdir -p "$out"
build/default/bin/tessavane-samplegen --photos "$out" "${pictures[@]}" | tee "$out/sources.txt"
echo "${#pictures[@]} tiles in $out"
