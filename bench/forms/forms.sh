#!/bin/sh
# forms.sh QUARNBXADMIN QUARSETUP SITE_DIR LIGHTTPD_CONF
# The administration program over large form bodies, on an installed site (quarsetup), run as
# the web server runs it (CGI environment, body on standard input) and once more through
# lighttpd on loopback. Bodies of 10k, 100k and 1M fields up to the 8 MiB body limit, with
# distinct names ("f0=v&f1=v&...") and with one name repeated ("a=1&a=1&..."). Prints the time
# per field at each size (flat: linear growth) and the peak memory as a multiple of the body.
# Fails when the 8 MiB bodies take 1 s or more, or peak at 6 times the body or more.
set -eu
. "$(dirname "$0")/../lib/served-site.sh"
python3 - "$site" "$port" <<'PY'
import os, subprocess, sys, time, urllib.request

site, port = sys.argv[1], int(sys.argv[2])
limit = 8 << 20
cgi = os.path.join(site, "cgi-bin")
env = {"QUAR_MACHINE_REGISTRY": f"{site}/machine.reg", "TMP": f"{site}/tmp",
       "REQUEST_METHOD": "POST", "REMOTE_ADDR": "127.0.0.1"}

def body(kind, fields):
    if kind == "repeated":
        return b"a=1&" * fields
    parts, size = [], 0
    for i in range(fields):
        part = b"f%d=v&" % i
        if size + len(part) > limit:
            break
        parts.append(part)
        size += len(part)
    return b"".join(parts)

def direct(data, path):
    run_env = dict(env, CONTENT_LENGTH=str(len(data)))
    best = None
    for _ in range(3):
        with open(path, "rb") as stdin:
            start = time.perf_counter()
            out = subprocess.run(["./quarnbxadmin"], cwd=cgi, env=run_env, stdin=stdin,
                                 stdout=subprocess.PIPE, check=True).stdout
            elapsed = time.perf_counter() - start
        if b"<html" not in out.lower():
            sys.exit("the program did not answer with a page")
        best = elapsed if best is None else min(best, elapsed)
    with open(path, "rb") as stdin:
        run = subprocess.run(["/usr/bin/time", "-f", "%M", "./quarnbxadmin"], cwd=cgi,
                             env=run_env, stdin=stdin, stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, text=True, check=True)
    return best, int(run.stderr.split()[-1]) * 1024

def through_server(data):
    for _ in range(50):  # the server may still be starting
        try:
            urllib.request.urlopen(f"http://127.0.0.1:{port}/cgi-bin/quarnbxadmin?test", timeout=5)
            break
        except OSError:
            time.sleep(0.1)
    start = time.perf_counter()
    request = urllib.request.Request(f"http://127.0.0.1:{port}/cgi-bin/quarnbxadmin", data=data,
                                     headers={"Content-Type": "application/x-www-form-urlencoded"})
    page = urllib.request.urlopen(request, timeout=120).read()
    if b"<html" not in page.lower():
        sys.exit("lighttpd did not answer with the page")
    return time.perf_counter() - start

failed = False
print(f"{'names':9s} {'fields':>9s} {'body MiB':>8s} {'time ms':>8s} {'us/field':>8s} "
      f"{'peak MiB':>8s} {'peak/body':>9s} {'lighttpd ms':>11s}")
for kind in ("distinct", "repeated"):
    for fields in (10_000, 100_000, 1_000_000, limit):
        data = body(kind, fields)[:limit]  # the last size is whatever fits the limit
        fields_sent = data.count(b"=")
        path = os.path.join(site, "tmp", "body")
        with open(path, "wb") as f:
            f.write(data)
        elapsed, peak = direct(data, path)
        served = through_server(data)
        print(f"{kind:9s} {fields_sent:9,d} {len(data) / 2**20:8.2f} {elapsed * 1e3:8.1f} "
              f"{elapsed * 1e6 / fields_sent:8.3f} {peak / 2**20:8.1f} {peak / len(data):9.2f} "
              f"{served * 1e3:11.1f}")
        full = len(data) > limit - 16
        if full and (elapsed >= 1.0 or peak >= 6 * len(data)):
            failed = True
        if full:
            break
if failed:
    print("FAIL: an 8 MiB form took 1 s or more, or peaked at 6 times the body or more")
    sys.exit(1)
print("OK: every 8 MiB form answered in under 1 s, peak under 6 times the body")
PY
