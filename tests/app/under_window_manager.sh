#!/bin/sh
# Runs the given test program under openbox, on the X server xvfb-run gives it. Openbox runs its
# startup command once it has taken over the screen; the root window's manager property is set
# before that, and a window mapped in between may never be exposed.
up=$(mktemp -d)
trap 'rm -rf "$up"' EXIT
openbox --sm-disable --startup "touch $up/ready" >/dev/null 2>&1 &
for i in $(seq 100); do
    [ -e "$up/ready" ] && break
    sleep 0.1
done
QT_QPA_PLATFORM=xcb "$@"
