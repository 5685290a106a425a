#!/bin/sh
# concurrent-admin.sh setup WORK       installs a site in WORK and opens an administrator
#                                      session from 10.0.0.1 through the real program
# concurrent-admin.sh write WORK COUNT requests the main page COUNT times from other clients;
#                                      each request is refused with one "LOGGET_OTHER" event
# The client address of each request ($QUAR_WRITER_INDEX:n) makes every event line unique.
set -eu
mode=$1 work=$2
cgi="$work/cgi"
run() {
    (cd "$cgi" && env -i QUAR_MACHINE_REGISTRY="$work/machine.reg" TMP="$work/tmp" "$@" \
        ./quarnbxadmin >/dev/null)
}
case $mode in
setup)
    rm -rf "$work"
    mkdir -p "$work/tmp"
    "$QUARSETUP" --data-dir "$work/data" --cgi-dir "$cgi" --registry "$work/machine.reg" \
        --site-dir "$SITE_DIR" >/dev/null
    form='compname=A&sysopname=B&sysoptel=1&pswd1=abcd&pswd2=abcd'
    printf '%s' "$form" | run REMOTE_ADDR=10.0.0.1 QUERY_STRING='init_base|t' \
        CONTENT_LENGTH=${#form}
    test -s "$work/data/quar_settings.dat"
    rm -f "$work/data/quar_nbx_log.txt"
    ;;
write)
    i=0
    while [ "$i" -lt "$3" ]; do
        i=$((i + 1))
        run REMOTE_ADDR=10.0.0.9 HTTP_X_FORWARDED_FOR="$QUAR_WRITER_INDEX:$i" \
            QUERY_STRING='main|other'
    done
    ;;
esac
