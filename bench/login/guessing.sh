#!/bin/sh
# guessing.sh QUARNBXADMIN QUARSETUP SITE_DIR LIGHTTPD_CONF
# Password guessing against an installed site served by lighttpd on loopback: wrong passwords
# from one address, then from 100 forged X-Forwarded-For values over one connection. A guess
# reaches the password compare when the answer says "Invalid password"; a locked-out one says
# "Too many refused logins". Prints, for each, the attempts answered per second (the yardstick:
# what would reach the compare without a lock-out, per hour) and the guesses per hour that
# reach the compare with it: those of one lock-out cycle (a cycle lasts at least the
# quarter of an hour the lock-out holds) times four. Fails when more guesses reach the compare
# than the rule allows (5 per address, 25 per connection, per quarter of an hour).
set -eu
. "$(dirname "$0")/../lib/served-site.sh"
python3 - "$port" <<'PY'
import http.client, re, sys, time

port = int(sys.argv[1])
ATTEMPTS = 200
WINDOW_HOURS = 0.25  # the lock-out holds a quarter of an hour, and a new window starts after it

def post(conn, path, body, headers=None):
    conn.request("POST", path, body, dict({"Content-Type": "application/x-www-form-urlencoded"},
                                          **(headers or {})))
    response = conn.getresponse()
    return response.read().decode("latin-1")

conn = None
for _ in range(100):
    try:
        conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
        post(conn, "/cgi-bin/quarnbxadmin?test", "")
        break
    except OSError:
        time.sleep(0.1)
else:
    sys.exit("lighttpd did not start")
page = post(conn, "/cgi-bin/quarnbxadmin?init_base",
            "compname=A&sysopname=B&sysoptel=1&pswd1=secret9&pswd2=secret9")
token = re.search(r"logout\|([0-9a-f]+)", page)
if not token:
    sys.exit("the set-up failed")
post(conn, "/cgi-bin/quarnbxadmin?logout|" + token.group(1), "")

def guess(label, source, forwarded, limit):
    # Each run connects from its own loopback address, so that the two do not share counts.
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30, source_address=(source, 0))
    compared = locked = 0
    start = time.perf_counter()
    for i in range(ATTEMPTS):
        headers = {"X-Forwarded-For": forwarded(i)} if forwarded else {}
        page = post(conn, "/cgi-bin/quarnbxadmin?login", "passwd=guess%d" % i, headers)
        if "Invalid password" in page:
            compared += 1
        elif "Too many refused logins" in page:
            locked += 1
        else:
            sys.exit("%s: unexpected answer to guess %d: %s" % (label, i, page[-600:]))
    elapsed = time.perf_counter() - start
    rate = ATTEMPTS / elapsed
    print("%-36s %4d attempts in %5.2f s: %6.0f answered/s = %9.0f guesses/h without the "
          "lock-out; %3d compared, %3d locked out: %5.0f guesses/h reach the compare"
          % (label, ATTEMPTS, elapsed, rate, rate * 3600, compared, locked,
             compared / WINDOW_HOURS))
    if compared > limit:
        sys.exit("%s: %d guesses reached the compare, more than %d" % (label, compared, limit))

guess("one address (127.0.0.2)", "127.0.0.2", None, 5)
guess("100 forged X-Forwarded-For values", "127.0.0.3", lambda i: "10.0.0.%d" % (i % 100), 25)
PY
