#!/bin/sh
# The full-disk tests' small file system for the Windows test programs, which
# cannot mount one themselves: a tmpfs of 256 KiB at FOLDER.
#   small_disk.sh mount|unmount FOLDER
# Where the machine refuses to mount, FOLDER stays a plain folder and the
# tests that need the small disk say so and are skipped; that is no failure.
set -u
action=$1
folder=$2
case $action in
    mount)
        mkdir -p "$folder"
        mountpoint -q "$folder" && umount "$folder"
        if ! mount -t tmpfs -o size=256k,mode=0700 tyvarion-small-disk "$folder" 2>/dev/null; then
            echo "small_disk: cannot mount a tmpfs at $folder here; the full-disk tests are skipped"
        fi
        ;;
    unmount)
        if mountpoint -q "$folder"; then umount "$folder"; fi
        ;;
    *) echo "usage: small_disk.sh mount|unmount FOLDER" >&2; exit 2 ;;
esac
exit 0
