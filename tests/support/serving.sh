# serving.sh: sourced by the tests that start a web server on loopback.
# free_port prints a loopback port that nothing listens on.
# wait_served PID URL returns once URL answers; it fails when the server PID has ended or after
# 10 s.
free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

wait_served() {
    tries=0
    until curl -fs -o /dev/null "$2"; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ] || ! kill -0 "$1" 2>/dev/null; then
            echo "no answer from $2" >&2
            return 1
        fi
        sleep 0.1
    done
}
