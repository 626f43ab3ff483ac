#!/bin/bash
# Runs inside dcmpeer.sh's namespace beside Orthanc (DICOM port 4242, HTTP 8042, AE
# ORTHANC): oxuhost with "DICOM_CONV" and "DICOM_SEND" 1, one ECG record from devsim, then
# asks Orthanc for the instance UID the database holds. Exit 0 when Orthanc has it.
#   dicom_send_peer.sh BIN_FOLDER DEVSIM_PY WORK_FOLDER
set -u
bin=$1 devsim=$2 work=$3
home=$work/home
mkdir -p "$home/oxuhost" "$home/OxuDcmStoreSCU"
printf '[OXU_SERVER]\r\nBIND_ADDRESS=127.0.0.1\r\nECG_PORT=0\r\nFILE_PORT=0\r\nDICOM_CONV=1\r\nDICOM_SEND=1\r\n[OXU_DB]\r\nDB_HOST=%s\r\nDB_ACCESS_MDB=1\r\n[OXU_SERVER_DICOM_SCU]\r\nPROGRAM_PATH=%s\r\nPROGRAM_FILE=OxuDcmStoreSCU\r\n' \
    "$home/oxuhost/Database/oxunet.mdb" "$bin" > "$home/oxuhost/Oxu.ini"
printf '[DESTINATION]\r\nHOST=127.0.0.1\r\nPORT=4242\r\nCALLING_AE=OXUSERVER\r\nCALLED_AE=ORTHANC\r\nTIMEOUT=20\r\n' \
    > "$home/OxuDcmStoreSCU/OxuDcmStoreSCU.ini"
CORVANE_HOME=$home "$bin/oxuhost" > "$work/host.out" 2>&1 &
host=$!
for _ in $(seq 1 300); do grep -q READY "$work/host.out" && break; sleep 0.1; done
port=$(sed -n 's/^READY ecg=\([0-9]*\).*/\1/p' "$work/host.out")
CORVANE_HOME=$home python3 "$devsim" --port "$port" frame-ecg --id DS1 > /dev/null
for _ in $(seq 1 300); do grep -q RECEIVE "$work/host.out" && break; sleep 0.1; done
kill -TERM "$host"; wait "$host"
uid=$(sqlite3 "$home/oxuhost/Database/oxunet.mdb" "SELECT instance_uid FROM instance")
# The store program runs detached: wait for the instance to arrive.
for _ in $(seq 1 300); do
    found=$(curl -s -X POST http://127.0.0.1:8042/tools/find \
        -d "{\"Level\":\"Instance\",\"Query\":{\"SOPInstanceUID\":\"$uid\"}}")
    if [ -n "$uid" ] && [ "$found" != "[]" ] && [ -n "$found" ]; then
        echo "FOUND $uid"
        exit 0
    fi
    sleep 0.1
done
echo "instance $uid not in Orthanc"
cat "$work/host.out" "$home"/oxuhost/Log/*
exit 1
