# shellcheck shell=bash
# Sourced by the bench scripts: builds their helpers and makes the generated inputs, so that
# every script measures or compares the very same files.

bench_build=build-bench

# require_tools SCRIPT TOOL...: stops with the packages to install when a tool is missing.
require_tools() {
    local script=$1 tool
    shift
    for tool in "$@"; do
        command -v "$tool" > /dev/null || {
            echo "$script: $tool is missing (apt-get install libjpeg-turbo-progs libimage-exiftool-perl time)" >&2
            exit 1
        }
    done
}

# build_bench TARGET...: a Release build without the desktop program and the tests.
build_bench() {
    cmake -S . -B "$bench_build" -DCMAKE_BUILD_TYPE=Release -DPIVOTTA_BUILD_APP=OFF -DPIVOTTA_BUILD_TESTS=OFF \
        -DPIVOTTA_BUILD_BENCH=ON > /dev/null
    cmake --build "$bench_build" -j"$(nproc)" --target "$@" > /dev/null
}

# make_input DIR NAME WIDTH HEIGHT SAMPLING SEED THUMB_HEIGHT QUALITY VARIANTS [--dense]: DIR/NAME.jpg,
# and with VARIANTS "plain+rst" also DIR/NAME-rst.jpg with a restart marker after every MCU row.
# Standard Huffman tables (no -optimize), as cameras write them; every file gets an Exif block
# with a JPEG thumbnail and Orientation 1 (given as a number: exiftool reads a plain "1" as the
# first name containing it, "Rotate 180").
make_input() {
    local dir=$1 name=$2 width=$3 height=$4 sampling=$5 seed=$6 thumbHeight=$7 quality=$8 variants=$9
    local scene=("${@:10}")
    local files=("$dir/$name.jpg")
    "$bench_build/bin/make_photo" "${scene[@]}" "$width" "$height" "$seed" "$dir/$name.ppm" \
        "$dir/$name-thumb.ppm" 160 "$thumbHeight"
    cjpeg -quality 85 -outfile "$dir/$name-thumb.jpg" "$dir/$name-thumb.ppm"
    cjpeg -quality "$quality" -sample "$sampling" -outfile "$dir/$name.jpg" "$dir/$name.ppm"
    if [ "$variants" = plain+rst ]; then
        cjpeg -quality "$quality" -sample "$sampling" -restart 1 -outfile "$dir/$name-rst.jpg" "$dir/$name.ppm"
        files+=("$dir/$name-rst.jpg")
    fi
    for file in "${files[@]}"; do
        exiftool -q -overwrite_original -Make=Pivotta -Model="Bench generator" -Orientation#=1 \
            -XResolution=300 -YResolution=300 -ResolutionUnit=inches -DateTimeOriginal="2024:05:01 12:00:00" \
            -ExifImageWidth="$width" -ExifImageHeight="$height" "-ThumbnailImage<=$dir/$name-thumb.jpg" "$file"
        [ "$(exiftool -b -ThumbnailImage "$file" | wc -c)" -gt 0 ] || { echo "no thumbnail in $file" >&2; exit 1; }
        [ "$(exiftool -s3 -n -Orientation "$file")" = 1 ] || { echo "$file is not upright" >&2; exit 1; }
    done
    rm -f "$dir/$name.ppm" "$dir/$name-thumb.ppm"
}

# make_bench_inputs DIR: the inputs both scripts use, named in bench_inputs (DIR/NAME.jpg).
# The dense picture is a high-end camera's landscape of foliage and gravel: about 6.9 MB at
# quality 92, where the mixed scenes compress to 3 and 5 MB.
make_bench_inputs() {
    local dir=$1
    make_input "$dir" 12mp-422 4000 3000 2x1 1 120 94 plain+rst
    make_input "$dir" 24mp-420 6000 4000 2x2 2 107 94 plain+rst
    make_input "$dir" 24mp-420-dense 6000 4000 2x2 3 107 92 plain --dense
    # shellcheck disable=SC2034  # read by the sourcing script
    bench_inputs=(12mp-422 12mp-422-rst 24mp-420 24mp-420-rst 24mp-420-dense)
}
