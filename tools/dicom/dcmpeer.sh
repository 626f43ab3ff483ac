#!/bin/bash
# Runs a command beside a DICOM store peer inside a network namespace of its own (loopback
# only, so nothing reaches a real network) and a PID namespace (every process in it dies
# with the command, also when the caller is killed; its own /proc, so that tools reading
# /proc see their own processes).
#
#   dcmpeer.sh storescp DIR PORT [storescp options...] -- COMMAND...
#       storescp +xa on PORT writing into DIR/received
#   dcmpeer.sh orthanc DIR DICOMPORT HTTPPORT AET -- COMMAND...
#       Orthanc with its own configuration and storage in DIR, called AE title checked
#
# The command sees PEER_PID (the peer's process) and PEER_DIR. Both peers run with
# TCP_NODELAY=1 (PEER_TCP_NODELAY=0: Nagle on). The command gets PEER_TIMEOUT seconds
# (default 600). The exit status is the command's; 90 when the peer did not come up.
set -u

if [ "${1:-}" != "--inside" ]; then
    exec unshare --net --pid --fork --kill-child --mount-proc -- "$0" --inside "$@"
fi
shift

wait_port() {  # port: until something listens on it (10 s)
    for _ in $(seq 1 200); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; then
            return 0
        fi
        sleep 0.05
    done
    return 1
}

kind=$1 dir=$2
shift 2
ip link set lo up || exit 91
mkdir -p "$dir"
# PEER_TCP_NODELAY=0 leaves Nagle on in the peer (benchmarks only).
export PEER_DIR=$dir TCP_NODELAY=${PEER_TCP_NODELAY:-1}

case $kind in
storescp)
    port=$1
    shift
    opts=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do opts+=("$1"); shift; done
    mkdir -p "$dir/received"
    storescp +xa -od "$dir/received" -aet STORESCP "${opts[@]}" "$port" >"$dir/peer.log" 2>&1 &
    PEER_PID=$!
    ;;
orthanc)
    dport=$1 hport=$2 aet=$3
    shift 3
    mkdir -p "$dir/storage"
    cat >"$dir/orthanc.json" <<JSON
{
  "Name": "corvane-test",
  "StorageDirectory": "$dir/storage",
  "IndexDirectory": "$dir/storage",
  "DicomAet": "$aet",
  "DicomPort": $dport,
  "HttpPort": $hport,
  "DicomCheckCalledAet": true,
  "RemoteAccessAllowed": false,
  "AuthenticationEnabled": false,
  "HttpServerEnabled": true,
  "DicomServerEnabled": true,
  "Plugins": [],
  "ConcurrentJobs": 1,
  "StorageCompression": false
}
JSON
    Orthanc "$dir/orthanc.json" >"$dir/peer.log" 2>&1 &
    PEER_PID=$!
    port=$dport
    wait_port "$hport" || { cat "$dir/peer.log" >&2; exit 90; }
    ;;
*)
    echo "dcmpeer.sh: unknown peer $kind" >&2
    exit 2
    ;;
esac
[ "${1:-}" = "--" ] && shift
export PEER_PID
if ! wait_port "$port"; then
    cat "$dir/peer.log" >&2
    exit 90
fi
# Bounded, so that a caller that died cannot leave the namespace running for long.
timeout --kill-after=5 "${PEER_TIMEOUT:-600}" "$@"
status=$?
kill "$PEER_PID" 2>/dev/null
wait "$PEER_PID" 2>/dev/null
exit $status
