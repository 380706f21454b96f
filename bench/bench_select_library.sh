#!/bin/bash
# SPDX-License-Identifier: MIT
# Times `accelspec-cli select` over a library of 10002 pairs (20004 components): the four
# NGA-West2 components of the tests are indexed, then their rows are copied 5000 times with
# sqlite3 (Debian's sqlite3), each copy in a folder and an event of its own.
#   bench/bench_select_library.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$root/build}/cli/accelspec-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/at2"
cp "$root"/tests/analysis/data/*.AT2 "$work/at2/"
"$cli" library add "$work/at2" --library "$work/lib.sqlite" >/dev/null 2>&1
p="$work/at2/"
sqlite3 "$work/lib.sqlite" <<SQL
BEGIN;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000)
INSERT INTO files(path, size, mtime_ns, hash, format)
SELECT '/copies/' || i || '/' || replace(f.path, '$p', ''), f.size, f.mtime_ns, f.hash || i, f.format
FROM n, files f;
INSERT INTO components(file_id, channel, event, date, station, component, azimuth, vertical,
  magnitude, distance, vs30, dt, samples, pga, pgv, pgd, arias, d5_75, d5_95, cav, cav_std,
  housner, psa, pair_key, pair_name)
SELECT nf.id, c.channel, c.event || '-' || (nf.id % 1700), c.date, c.station, c.component,
  c.azimuth, c.vertical, c.magnitude, c.distance, c.vs30, c.dt, c.samples, c.pga, c.pgv, c.pgd,
  c.arias, c.d5_75, c.d5_95, c.cav, c.cav_std, c.housner, c.psa,
  c.pair_key || substr(nf.path, 1, instr(substr(nf.path, 10), '/') + 9),
  c.pair_name || '_' || substr(nf.path, 9, instr(substr(nf.path, 9), '/') - 1)
FROM files nf JOIN files of ON of.path = '$p' || substr(nf.path, instr(substr(nf.path, 10), '/') + 10)
JOIN components c ON c.file_id = of.id WHERE nf.path LIKE '/copies/%';
INSERT INTO pairs(first, second, name, manual, rotd50, rotd100)
SELECT min(c.id), max(c.id), c.pair_name, 0, p.rotd50, p.rotd100
FROM components c JOIN pairs p ON p.name = substr(c.pair_name, 1, 7)
WHERE c.pair_name LIKE '%\_%' ESCAPE '\' GROUP BY c.pair_key HAVING count(*) = 2;
COMMIT;
SQL
echo "pairs: $(sqlite3 "$work/lib.sqlite" 'SELECT count(*) FROM pairs')," \
  "components: $(sqlite3 "$work/lib.sqlite" 'SELECT count(*) FROM components')"
for run in 1 2 3; do
  /usr/bin/time -f "pairs, asce7: %e s wall, %U s user, %S s system, %M kB" \
    "$cli" select --target ec8:1:B:0.5 --rule asce7 --range 0.1:2 --pairs --count 11 \
    --max-per-event 3 --library "$work/lib.sqlite" >/dev/null || [ $? -eq 3 ]
done
/usr/bin/time -f "components, ec8: %e s wall, %U s user, %S s system, %M kB" \
  "$cli" select --target ec8:1:B:0.5 --rule ec8 --t1 0.5 --count 7 \
  --library "$work/lib.sqlite" >/dev/null || [ $? -eq 3 ]
