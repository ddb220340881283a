#!/usr/bin/env bash
# More clips for the export, each with the 96 reference frames of an 8 s, 12 fps export, made the
# way ../shared/bench/make-bench-media.sh makes its clip (ffmpeg, pictures shipped in Debian):
#   bench/make-more-media.sh [DIR]      (default DIR: /tmp/tovi-bench)
# DIR/NAME.mp4 and DIR/ref-NAME/000.png..095.png for
#   zoom-g60, zoom-g250  the slow zoom of bench/video_bench (key frame every 60 / 250 frames)
#   screen               a screen recording: a window of text that scrolls in steps, a pointer
#   cartoon              flat colours and hard outlines: a house, clouds, a bouncing ball
#   night                a dark, noisy storm sky zooming in, then dark soft blobs panning
# Needs: apt-get install -y ffmpeg mate-backgrounds fonts-dejavu-core
set -euo pipefail
A=${1:-/tmp/tovi-bench}
FF="ffmpeg -hide_banner -loglevel error -nostdin -y"
BG=/usr/share/backgrounds/mate
FONT=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
TEXT=/usr/share/common-licenses/GPL-3
for f in "$BG/nature/LadyBird.jpg" "$BG/nature/Storm.jpg" "$BG/desktop/Ubuntu-Mate-Cold-no-logo.png" \
    "$BG/desktop/Ubuntu-Mate-Dark-no-logo.png" "$FONT" "$TEXT"; do
    [ -f "$f" ] || { echo "missing $f: apt-get install -y mate-backgrounds fonts-dejavu-core"; exit 1; }
done
mkdir -p "$A"
X264="-c:v libx264 -preset medium -crf 18 -pix_fmt yuv420p -r 30 -movflags +faststart"

make() { # NAME FFMPEG-ARGUMENTS...
    local name=$1
    shift
    [ -s "$A/$name.mp4" ] || { $FF "$@" "$A/$name.part.mp4" && mv "$A/$name.part.mp4" "$A/$name.mp4"; }
}

# As bench/video_bench.cpp makes them, so that both use the same files.
zoom() { # NAME SECONDS GOP
    make "$1" -loop 1 -framerate 30 -i "$BG/nature/LadyBird.jpg" -t "$2" \
        -vf "scale=3840:-2,zoompan=z='1+0.3*on/$(($2 * 30))':x='(iw-iw/zoom)/2':y='(ih-ih/zoom)/2':d=1:s=1920x1080:fps=30" \
        -c:v libx264 -preset medium -crf 20 -pix_fmt yuv420p -g "$3" -keyint_min "$3" -sc_threshold 0 \
        -colorspace bt709 -color_primaries bt709 -color_trc bt709
}
zoom zoom-g60 10 60
zoom zoom-g250 20 250

# A window over the desktop: the text stands still, scrolls three lines every half second from
# 2 s to 6 s, and a second window opens at 7 s; the pointer moves all the time.
make screen -loop 1 -framerate 30 -i "$BG/desktop/Ubuntu-Mate-Cold-no-logo.png" \
    -f lavfi -i "color=c=white:s=1320x800:r=30" -filter_complex "\
[0:v]scale=1920:1080,setsar=1,drawbox=x=300:y=120:w=1320:h=40:c=0x3c3c3c:t=fill[desk];\
[1:v]drawtext=fontfile=$FONT:textfile=$TEXT:fontsize=22:fontcolor=0x202020:line_spacing=8:x=24:\
y='20-90*floor(2*clip(t-2\,0\,4))'[text];\
[desk][text]overlay=300:160,drawbox=x=820:y=300:w=760:h=520:c=0xf4f4f4:t=fill:enable='gte(t,7)',\
drawbox=x=820:y=300:w=760:h=40:c=0x2d5f9e:t=fill:enable='gte(t,7)',\
drawbox=x='960+420*sin(0.9*t)':y='540+260*sin(0.6*t)':w=14:h=22:c=black:t=fill,format=yuv420p[v]" \
    -map "[v]" -t 10 $X264

# Flat colours with black outlines: sky, a hill, a house, clouds drifting, a ball bouncing.
circle() { # SIZE RGB: a disc on transparency, drawn once
    echo "color=c=black@0:s=${1}x${1}:r=30:d=1,format=rgba,geq=r=$2:a='255*lte(hypot(X-($1-1)/2\,Y-($1-1)/2)\,$1/2-1)',loop=loop=-1:size=1"
}
make cartoon -f lavfi -i "color=c=0x78c8f0:s=1920x1080:r=30" -filter_complex "\
$(circle 1400 "'40':g='150':b='60'")[hill];\
$(circle 220 "'250':g='210':b='40'")[sun];\
$(circle 180 "'0':g='0':b='0'")[outline];\
$(circle 164 "'225':g='40':b='40'")[ball];\
$(circle 260 "'255':g='255':b='255'"),split[cloud1][cloud2];\
[0:v]drawbox=y=760:w=1920:h=320:c=0x58b030:t=fill[sky];\
[sky][hill]overlay=x=-300:y=700[a];[a][sun]overlay=x=1560:y=80[b];\
[b][cloud1]overlay=x='1900-60*t':y=140[c];[c][cloud2]overlay=x='700-45*t':y=230[d];\
[d]drawbox=x=560:y=420:w=520:h=380:c=black:t=fill,drawbox=x=568:y=428:w=504:h=364:c=0xf0d080:t=fill,\
drawbox=x=760:y=600:w=120:h=200:c=0x8a4a20:t=fill,drawbox=x=610:y=480:w=110:h=90:c=0x90d0ff:t=fill,\
drawbox=x=920:y=480:w=110:h=90:c=0x90d0ff:t=fill[e];\
[e][outline]overlay=x='160+140*t':y='640-abs(sin(2.2*t))*420'[f];\
[f][ball]overlay=x='168+140*t':y='648-abs(sin(2.2*t))*420',format=yuv420p[v]" \
    -map "[v]" -t 10 $X264

# A storm sky at night, with sensor noise, zooming in; then dark soft blobs panning.
make night -i "$BG/nature/Storm.jpg" -i "$BG/desktop/Ubuntu-Mate-Dark-no-logo.png" -filter_complex "\
[0:v]scale=3840:-2,eq=brightness=-0.08:gamma=0.5:saturation=0.6,colorchannelmixer=rr=0.7:gg=0.8:bb=1.1,\
zoompan=z='1+0.25*on/149':x='(iw-iw/zoom)*0.5':y='(ih-ih/zoom)*0.4':d=150:s=1920x1080:fps=30,\
noise=alls=5:allf=t,setsar=1[s0];\
[1:v]scale=3840:2160,zoompan=z=1.3:x='(iw-iw/zoom)*on/149':y='(ih-ih/zoom)*0.5':d=150:s=1920x1080:fps=30,\
setsar=1[s1];[s0][s1]concat=n=2:v=1:a=0,format=yuv420p[v]" \
    -map "[v]" -t 10 $X264

for name in zoom-g60 zoom-g250 screen cartoon night; do
    ref=$A/ref-$name
    if [ ! -s "$ref/095.png" ]; then
        rm -rf "$ref"
        mkdir -p "$ref"
        # At 30 fps the frame on screen at i/12 s is source frame floor(2.5 i): n mod 5 in {0, 2}.
        $FF -i "$A/$name.mp4" -vf "select='lt(n\,240)*(eq(mod(n\,5)\,0)+eq(mod(n\,5)\,2))',crop=1080:1080,scale=240:240:flags=lanczos,format=rgb24" \
            -fps_mode passthrough -start_number 0 "$ref/%03d.png"
    fi
done
ls "$A"/*.mp4
