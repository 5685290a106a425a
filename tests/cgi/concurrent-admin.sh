#!/bin/sh
# concurrent-admin.sh setup WORK       installs a site in WORK and opens an administrator
#                                      session from 10.0.0.1 through the real program
# concurrent-admin.sh write WORK COUNT requests the main page COUNT times from other clients;
#                                      each request is refused with one "LOGGET_OTHER" event
# The client address of each request ($QUAR_WRITER_INDEX:n) makes every event line unique.
# $CGI_REQUEST (quar_cgi_request) runs the program as the other black-box tests do.
set -eu
mode=$1 work=$2
cgi="$work/cgi"
# run OPTION VALUE NAME=VALUE...: quarnbxadmin with one option of quar_cgi_request
run() {
    option=$1 value=$2
    shift 2
    "$CGI_REQUEST" --cwd "$cgi" "$option" "$value" "$cgi/quarnbxadmin" \
        QUAR_MACHINE_REGISTRY="$work/machine.reg" TMP="$work/tmp" "$@"
}
case $mode in
setup)
    rm -rf "$work"
    mkdir -p "$work/tmp"
    "$QUARSETUP" --data-dir "$work/data" --cgi-dir "$cgi" --registry "$work/machine.reg" \
        --site-dir "$SITE_DIR" >/dev/null
    run --body 'compname=A&sysopname=B&sysoptel=1&pswd1=abcd&pswd2=abcd' \
        REMOTE_ADDR=10.0.0.1 QUERY_STRING='init_base|t'
    test -s "$work/data/quar_settings.dat"
    rm -f "$work/data/quar_nbx_log.txt"
    ;;
write)
    run --repeat "$3" REMOTE_ADDR=10.0.0.9 HTTP_X_FORWARDED_FOR="$QUAR_WRITER_INDEX:{n}" \
        QUERY_STRING='main|other'
    ;;
esac
