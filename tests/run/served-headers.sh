# served-headers.sh: sourced by the server tests. check_served_headers FILE fails unless the
# header block in FILE (curl -D) carries every header that the printed configurations add to
# the programs' answers.
check_served_headers() {
    for header in 'Cache-Control: no-store' 'X-Frame-Options: DENY' \
        "Content-Security-Policy: frame-ancestors 'none'" 'Referrer-Policy: same-origin' \
        'X-Content-Type-Options: nosniff'; do
        tr -d '\r' <"$1" | grep -qixF "$header" || {
            echo "the answer lacks '$header':" >&2
            cat "$1" >&2
            return 1
        }
    done
}
