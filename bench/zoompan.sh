#!/bin/sh
# The reference of bench_motion: ffmpeg making a slideshow with the same
# gentle zoom as the automatic motion, through its zoompan filter. Each JPEG
# is decoded once (-i photo.jpg), scaled to twice the output and padded to
# its shape (as our prepared picture), zoomed from 100 % to 112 % towards the
# same four points in turn (the size changing by the same factor each
# frame), and the clips are joined by 1 s cross-fades.
# usage: zoompan.sh OUTPUT WIDTH HEIGHT CLIP_SECONDS PRESET CRF PHOTO...
set -e
out=$1; w=$2; h=$3; clip=$4; preset=$5; crf=$6
shift 6
n=$#
frames=$((clip * 30))
graph=""
i=0
inputs=""
for photo in "$@"; do
    inputs="$inputs -i $photo"
    case $((i % 4)) in
        0) fx=0.38; fy=0.40 ;;
        1) fx=0.62; fy=0.60 ;;
        2) fx=0.62; fy=0.40 ;;
        *) fx=0.38; fy=0.60 ;;
    esac
    graph="$graph[$i:v]scale=$((2 * w)):$((2 * h)):force_original_aspect_ratio=decrease,pad=$((2 * w)):$((2 * h)):(ow-iw)/2:(oh-ih)/2,setsar=1,"
    graph="${graph}zoompan=z='pow(1.12\\,on/($frames-1))':x='(iw-iw/zoom)*$fx':y='(ih-ih/zoom)*$fy':d=$frames:s=${w}x$h:fps=30,format=yuv420p[v$i];"
    i=$((i + 1))
done
last=v0
i=1
while [ $i -lt $n ]; do
    graph="$graph[$last][v$i]xfade=transition=fade:duration=1:offset=$((i * (clip - 1)))[x$i];"
    last=x$i
    i=$((i + 1))
done
graph=${graph%;}
# shellcheck disable=SC2086
exec ffmpeg -v error $inputs -filter_complex "$graph" -map "[$last]" -c:v libx264 -preset "$preset" -crf "$crf" -bf 0 -y "$out"
