#!/usr/bin/env bash
# By hand: several lnsdirector processes writing one variable at once on a PostgreSQL store, one of
# them killed with SIGKILL mid-write; afterwards the variable must hold one of the values written.
#   scripts/pg-writers.sh [SECONDS]    (needs a build; starts and stops a private cluster of its own)
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-5}
work=$(mktemp -d /tmp/kr5m-writers.XXXXXX)
chmod 755 "$work"
cleanup() { jobs -p | xargs -r kill -9 2>/dev/null || true; bash cmake/pg-cluster.sh stop "$work/pg"; rm -rf "$work"; }
trap cleanup EXIT
bash cmake/pg-cluster.sh start "$work/pg"
mkdir -p "$work/registry" "$work/data"
export LONWORKS_REGISTRY_DIR="$work/registry" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/data"
export LONWORKS_OBJECT_SERVER="postgresql:///postgres?host=$work/pg&port=5432&user=postgres"
director=build/bin/lnsdirector
$director demo-setup >/dev/null
nv=(Demo "Floor 1/TS-101" nciSetPts)
values=("10,11,12,13,14,15" "30,31,32,33,34,35" "-5.5,-6.5,-7.5,-8.5,-9.5,-10.5" "20,21,22,23,24,25")
writer() {  # writes its two values in turn until stopped; counts its failures
  local failures=0
  while :; do
    for v in "$1" "$2"; do $director nv set "${nv[@]}" "$v" --format SNVT_temp_setpt#SI >/dev/null 2>>"$work/errors" || failures=$((failures + 1)); done
  done
}
writer "${values[0]}" "${values[1]}" & first=$!
writer "${values[2]}" "${values[3]}" & second=$!
bad=0 reads=0
end=$((SECONDS + seconds))
while [ $SECONDS -lt $end ]; do
  got=$($director nv get "${nv[@]}" --format SNVT_temp_setpt#SI | tail -1)
  reads=$((reads + 1))
  case " ${values[*]} " in *" $got "*) ;; *) echo "read a value never written: $got"; bad=1 ;; esac
  if [ $reads = 10 ]; then pkill -9 -P $first || true; kill -9 $first; echo "killed a writer (SIGKILL) after $reads reads"; fi
done
kill -9 $second; pkill -9 -P $second || true
wait 2>/dev/null || true
got=$($director nv get "${nv[@]}" --format SNVT_temp_setpt#SI | tail -1)
echo "reads: $reads, last value: $got"
case " ${values[*]} " in *" $got "*) ;; *) echo "final value never written: $got"; bad=1 ;; esac
if [ -s "$work/errors" ]; then echo "writer errors:"; sort "$work/errors" | uniq -c | head; fi
exit $bad
