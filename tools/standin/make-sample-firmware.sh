#!/bin/sh
# Writes a small firmware image that the updater lets through, for trying it
# with the stand-in programmer: 256 bytes that a Cortex-M device could start
# from, a start-up table (stack at 0x20002000, reset handler at 0x08000008)
# and an endless loop ("b ."), the rest as erased flash. It is not Kestrix
# firmware; never program a device with it.
# usage: make-sample-firmware.sh FILE
set -eu
{
    printf '\000\040\000\040\011\000\000\010\376\347'
    i=10
    while [ "$i" -lt 256 ]; do
        printf '\377'
        i=$((i + 1))
    done
} >"$1"
