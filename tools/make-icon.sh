#!/usr/bin/env bash
# make-icon.sh ART ICO: writes a Windows icon with a 16 x 16 and a 32 x 32
# image of 256 colours from a text drawing (see the art file's header).
set -eu
art=$1
out=$2

declare -A index=([.]=0)
palette=("000000")
rows=()
while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in
        "#"* | "") continue ;;
    esac
    if [[ "$line" =~ ^(.)\ ([0-9A-Fa-f]{6})$ ]]; then
        index[${BASH_REMATCH[1]}]=${#palette[@]}
        palette+=("${BASH_REMATCH[2]}")
    else
        [ ${#line} -eq 16 ] || { echo "$art: row '$line' is not 16 pixels wide" >&2; exit 1; }
        rows+=("$line")
    fi
done <"$art"
[ ${#rows[@]} -eq 16 ] || { echo "$art: ${#rows[@]} rows, 16 expected" >&2; exit 1; }

bytes=""
u8() { bytes+=$(printf '\\x%02x' $(($1 & 255))); }
u16() { u8 "$1"; u8 $(($1 >> 8)); }
u32() { u16 $(($1 & 65535)); u16 $(($1 >> 16)); }

image_size() { echo $((40 + 1024 + $1 * $1 + 4 * ($1 / 32 > 0 ? $1 / 32 : 1) * $1)); }

# The image at scale 1 (16 x 16) or 2 (32 x 32): header, palette, colour
# pixels bottom-up, then the transparency mask, rows padded to 4 bytes.
image() {
    local scale=$1 size=$((16 * $1)) y x c mask bit
    u32 40; u32 "$size"; u32 $((2 * size)); u16 1; u16 8; u32 0; u32 0; u32 0; u32 0; u32 256; u32 0
    for ((i = 0; i < 256; i++)); do
        c=${palette[$i]:-000000}
        u8 $((16#${c:4:2})); u8 $((16#${c:2:2})); u8 $((16#${c:0:2})); u8 0
    done
    for ((y = size - 1; y >= 0; y--)); do
        for ((x = 0; x < size; x++)); do
            u8 "${index[${rows[y / scale]:x / scale:1}]}"
        done
    done
    for ((y = size - 1; y >= 0; y--)); do
        mask=0
        for ((x = 0; x < size; x++)); do
            bit=0
            [ "${rows[y / scale]:x / scale:1}" = "." ] && bit=1
            mask=$(((mask << 1) | bit))
            if ((x % 8 == 7)); then u8 "$mask"; mask=0; fi
        done
        for ((x = size / 8; x % 4 != 0; x++)); do u8 0; done
    done
}

small=$(image_size 16)
large=$(image_size 32)
u16 0; u16 1; u16 2
u8 16; u8 16; u8 0; u8 0; u16 1; u16 8; u32 "$small"; u32 38
u8 32; u8 32; u8 0; u8 0; u16 1; u16 8; u32 "$large"; u32 $((38 + small))
image 1
image 2
printf "$bytes" >"$out"
