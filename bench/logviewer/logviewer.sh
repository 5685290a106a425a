#!/bin/sh
# logviewer.sh QUARNBXADMIN MAKE_SITE SITE_DIR [LINES...]
# Times a "viewlog" request of the real program, started as a web server starts it (CGI
# environment, form body on standard input, a live administrator session), side by side in one
# hyperfine run with awk -F'\t' '{s+=$6} END{print s}' over the same event log, for logs of
# 10,000, 100,000 and 1,000,000 lines. Two requests are timed: the first visit (newest first)
# and a form that groups by category, filters on user and goes to the last page. Prints each
# median as a multiple of awk's, the cost per 1,000 lines, and the program's peak memory; fails
# when a request takes more than twice awk's time on the largest log.
set -eu
admin=$1 make_site=$2 site=$3
shift 3
sizes=${*:-10000 100000 1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
form='ve_log_sort_by=ve_log_sort_by_cat&ve_log_filter_by_user=nbx&ve_log_show_cat0=1&ve_log_show_cat1=1&ve_log_show_cat2=1&vl_butt=Last'

for lines in $sizes; do
    d=$work/$lines
    "$make_site" "$d" "$lines"
    mkdir -p "$d/cgi"
    cp "$admin" "$d/cgi/"
    cp "$site"/*.htx "$site"/*.def "$d/cgi/"
    printf '%s' "$form" >"$d/form.txt"
    cgi_env="env -i QUERY_STRING='viewlog|benchtoken' REMOTE_ADDR=127.0.0.1 REQUEST_METHOD=POST TMP=$d/tmp QUAR_MACHINE_REGISTRY=$d/machine.reg"
    cat >"$d/first.sh" <<SH
cd $d/cgi && $cgi_env ./quarnbxadmin </dev/null
SH
    cat >"$d/form.sh" <<SH
cd $d/cgi && $cgi_env CONTENT_LENGTH=${#form} ./quarnbxadmin <$d/form.txt
SH
    # awk pays for the same shell around it.
    cat >"$d/awk.sh" <<SH
cd $d/cgi && awk -F'\t' '{s+=\$6} END{print s}' $d/data/quar_nbx_log.txt
SH
    # The page must be the log viewer itself, not a login or error page.
    for request in first form; do
        sh "$d/$request.sh" | grep -q 'name="ve_log_page_num"' ||
            { echo "viewlog ($request) did not answer with the log viewer" >&2; exit 1; }
    done
    runs=$((20000000 / lines))
    [ "$runs" -gt 100 ] && runs=100
    [ "$runs" -lt 10 ] && runs=10
    log="$d/data/quar_nbx_log.txt"
    hyperfine -N --style basic --warmup 2 --runs "$runs" --export-json "$d/result.json" \
        -n awk "sh $d/awk.sh" \
        -n viewlog-first "sh $d/first.sh" \
        -n viewlog-form "sh $d/form.sh" >/dev/null
    python3 - "$d" "$lines" "$(wc -c <"$log")" <<'PY'
import json, subprocess, sys
d, lines, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
# Medians: other work on the machine shows up as a few slow runs.
medians = {r["command"]: r["median"] for r in json.load(open(f"{d}/result.json"))["results"]}
def peak_kib(script):
    # GNU time's child is the shell; its peak covers the program the shell ran.
    run = subprocess.run(["/usr/bin/time", "-f", "%M", "sh", script], stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True, check=True)
    return int(run.stderr.split()[-1])
awk = medians["awk"]
print(f"{lines:>9,d} lines {size / 2**20:7.1f} MiB  awk {awk * 1e3:8.1f} ms")
for name in ("viewlog-first", "viewlog-form"):
    median = medians[name]
    peak = peak_kib(f"{d}/{name[len('viewlog-'):]}.sh") / 1024
    print(f"{'':>33s}{name:13s} {median * 1e3:8.1f} ms  {median / awk:4.2f}x awk  "
          f"{median * 1e6 / lines:6.2f} ms per 1,000 lines  peak {peak:6.1f} MiB")
with open(f"{d}/../rows", "a") as out:
    out.write(f"{lines} {awk} {medians['viewlog-first']} {medians['viewlog-form']}\n")
PY
    rm -rf "$d"
done
python3 - "$work/rows" <<'PY'
import sys
rows = [[int(r[0])] + [float(x) for x in r[1:]] for r in (line.split() for line in open(sys.argv[1]))]
rows.sort()
# Growth: the cost of each further 1,000 lines between two sizes, start-up left out.
for (n0, *t0), (n1, *t1) in zip(rows, rows[1:]):
    growth = [(b - a) * 1e6 / (n1 - n0) for a, b in zip(t0, t1)]
    print(f"{n0:>9,d} -> {n1:>9,d} lines, ms per further 1,000 lines: awk {growth[0]:5.2f}  "
          f"viewlog-first {growth[1]:5.2f}  viewlog-form {growth[2]:5.2f}")
lines, awk, first, form = rows[-1]
ratio = max(first, form) / awk
if ratio > 2.0:
    print(f"FAIL: {ratio:.2f}x awk at {lines:,d} lines (target at most 2x)")
    sys.exit(1)
print(f"OK: at most {ratio:.2f}x awk at {lines:,d} lines")
PY
