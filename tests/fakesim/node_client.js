// A third-party SimConnect client (the npm package node-simconnect) against fakesim:
//   node node_client.js <node-simconnect module folder> <port>
// Opens, subscribes to "1sec", ObjectAdded and ObjectRemoved, requests the user aircraft's
// position by definition every second, creates one AI aircraft, sees its object id assigned and
// announced, removes it and sees it go. Prints one JSON line with what it saw; exit code 0 when
// every step happened, 1 otherwise.
'use strict';

const [moduleFolder, portText] = process.argv.slice(2);
const sc = require(moduleFolder);

const EVENT_1SEC = 1;
const EVENT_ADDED = 2;
const EVENT_REMOVED = 3;
const DEF_POSITION = 10;
const REQ_POSITION = 20;
const REQ_CREATE = 30;
const REQ_REMOVE = 31;

const seen = { oneSecEvents: 0, positions: [], sendIds: {} };

function finish(code, error) {
  if (error) seen.error = String(error);
  process.stdout.write(JSON.stringify(seen) + '\n', () => process.exit(code));
}

setTimeout(() => finish(1, 'timed out'), 30000).unref();

sc.open('fakesim node test', sc.Protocol.FSX_SP2, { host: '127.0.0.1', port: parseInt(portText, 10) })
  .then(({ recvOpen, handle }) => {
    seen.applicationName = recvOpen.applicationName;
    seen.applicationVersion = [recvOpen.applicationVersionMajor, recvOpen.applicationVersionMinor,
      recvOpen.applicationBuildMajor, recvOpen.applicationBuildMinor];
    let created = false;

    handle.on('exception', e => finish(1, `exception ${e.exception} for send id ${e.sendId}`));
    handle.on('event', e => {
      if (e.clientEventId === EVENT_1SEC) seen.oneSecEvents += 1;
      maybeCreate();
    });
    handle.on('simObjectData', d => {
      if (d.requestID !== REQ_POSITION) return;
      seen.userObjectId = d.objectID;
      const position = {
        lat: d.data.readFloat64(), lon: d.data.readFloat64(), alt: d.data.readFloat64(),
        atcId: d.data.readString32(),
      };
      if (seen.positions.length < 3) seen.positions.push(position);
      maybeCreate();
    });
    // The assigned id and the ObjectAdded event may come in either order.
    const announced = new Map();
    handle.on('assignedObjectID', a => {
      if (a.requestID !== REQ_CREATE) return;
      seen.assignedObjectId = a.objectID;
      maybeRemove();
    });
    handle.on('eventAddRemove', e => {
      if (e.clientEventId === EVENT_ADDED) {
        announced.set(e.data, e.type);
        maybeRemove();
      } else if (e.clientEventId === EVENT_REMOVED && e.data === seen.addedObjectId) {
        seen.removedObjectId = e.data;
        handle.close();
        finish(0);
      }
    });

    function maybeRemove() {
      if (seen.addedObjectId !== undefined || !announced.has(seen.assignedObjectId)) return;
      seen.addedObjectId = seen.assignedObjectId;
      seen.addedType = announced.get(seen.assignedObjectId);
      seen.sendIds.remove = handle.aIRemoveObject(seen.addedObjectId, REQ_REMOVE);
    }

    function maybeCreate() {
      if (created || seen.oneSecEvents === 0 || seen.positions.length === 0) return;
      created = true;
      const at = new sc.InitPosition();
      at.latitude = 33.9400;
      at.longitude = -118.4030;
      at.altitude = 130;
      at.heading = 250;
      at.onGround = true;
      at.airspeed = 0;
      seen.sendIds.create = handle.aICreateNonATCAircraft('Boeing 737-800 Node', 'NODE1', at, REQ_CREATE);
    }

    seen.sendIds.subscribe = handle.subscribeToSystemEvent(EVENT_1SEC, '1sec');
    handle.subscribeToSystemEvent(EVENT_ADDED, 'ObjectAdded');
    handle.subscribeToSystemEvent(EVENT_REMOVED, 'ObjectRemoved');
    handle.addToDataDefinition(DEF_POSITION, 'PLANE LATITUDE', 'degrees', sc.SimConnectDataType.FLOAT64);
    handle.addToDataDefinition(DEF_POSITION, 'PLANE LONGITUDE', 'degrees', sc.SimConnectDataType.FLOAT64);
    handle.addToDataDefinition(DEF_POSITION, 'PLANE ALTITUDE', 'feet', sc.SimConnectDataType.FLOAT64);
    handle.addToDataDefinition(DEF_POSITION, 'ATC ID', null, sc.SimConnectDataType.STRING32);
    handle.requestDataOnSimObject(REQ_POSITION, DEF_POSITION, sc.SimConnectConstants.OBJECT_ID_USER,
      sc.SimConnectPeriod.SECOND);
  })
  .catch(error => finish(1, error));
