// The checks of tests/e2e/signalk_server.sh, with node's own fetch:
//
//   node signalk_server_check.js wait URL SECONDS
//     waits until URL answers 200 (SECONDS at most);
//   node signalk_server_check.js values SERVER RECORD_DIR PROVIDER SECONDS
//     waits until the Signal K server at SERVER shows the vessel's true
//     heading and attitude, from the provider PROVIDER, with the values of
//     one of the HPR sentences of Quillmar's record in RECORD_DIR (the
//     heading, and the roll and pitch together); a notification of ours
//     must be there too.
//
// Each condition is polled every 200 ms up to its ceiling; on failure the
// last answers are printed.
'use strict';
const fs = require('fs');
const path = require('path');

const [mode, ...args] = process.argv.slice(2);
// Tries attempt() until it answers true or `seconds` pass, a fifth of a
// second apart: the condition is waited on, never a fixed time.
async function retryUntil(seconds, attempt) {
    const end = Date.now() + seconds * 1000;
    while (Date.now() < end) {
        if (await attempt())
            return true;
        await new Promise((resolve) => setTimeout(resolve, 200));
    }
    return false;
}
const toDegrees = (rad) => (rad * 180) / Math.PI;
// The record's values have two decimals; ours go through radians and back.
const same = (a, b) => Math.abs(a - b) < 5e-4;

async function get(url) {
    try {
        const reply = await fetch(url, {signal: AbortSignal.timeout(5000)});
        return {status: reply.status, body: await reply.text()};
    } catch (e) {
        return {status: 0, body: String(e.cause || e)};
    }
}

// The record's HPR sentences: [heading, pitch, roll] in degrees.
function recordedAttitudes(folder) {
    const out = [];
    for (const name of fs.readdirSync(folder).filter((n) => n.endsWith('.txt'))) {
        for (const line of fs.readFileSync(path.join(folder, name), 'latin1').split('\n')) {
            const m = /\$..HPR,[^,]*,(-?[\d.]+),(-?[\d.]+),(-?[\d.]+),/.exec(line);
            if (m)
                out.push(m.slice(1, 4).map(Number));
        }
    }
    return out;
}

// What is wrong with the server's values now, or null when all is right.
async function problem(server, folder, provider, last) {
    const api = server + '/signalk/v1/api/vessels/self/';
    const heading = (last.heading = await get(api + 'navigation/headingTrue'));
    const attitude = (last.attitude = await get(api + 'navigation/attitude'));
    const notification = (last.notification = await get(api + 'notifications/dataLost'));
    if (heading.status !== 200 || attitude.status !== 200)
        return 'the server shows no true heading or attitude yet';
    const h = JSON.parse(heading.body);
    const a = JSON.parse(attitude.body);
    for (const [what, leaf] of [['headingTrue', h], ['attitude', a]]) {
        if (typeof leaf.$source !== 'string' || !leaf.$source.startsWith(provider + '.'))
            return what + ' came from ' + leaf.$source + ', not from our provider';
    }
    if (typeof h.value !== 'number' || !(h.value >= 0 && h.value < 2 * Math.PI))
        return 'headingTrue ' + h.value + ' is not radians in [0, 2π)';
    const {roll, pitch} = a.value || {};
    if (typeof roll !== 'number' || typeof pitch !== 'number')
        return 'the attitude has no roll and pitch: ' + attitude.body;
    if (Math.abs(roll) > Math.PI || Math.abs(pitch) > Math.PI / 2)
        return 'the attitude is not in radians: ' + attitude.body;
    const recorded = recordedAttitudes(folder);
    if (!recorded.some(([hd]) => same(hd, toDegrees(h.value))))
        return 'no heading of the record is ' + toDegrees(h.value) + ' degrees';
    if (!recorded.some(([, p, r]) => same(p, toDegrees(pitch)) && same(r, toDegrees(roll))))
        return 'no sentence of the record has pitch ' + toDegrees(pitch) + ' and roll ' +
            toDegrees(roll) + ' degrees';
    if (notification.status !== 200)
        return 'the server shows no notifications.dataLost';
    const state = (JSON.parse(notification.body).value || {}).state;
    if (!['normal', 'alert', 'alarm'].includes(state))
        return 'notifications.dataLost has the state ' + state;
    return null;
}

async function main() {
    if (mode === 'wait' && args.length === 2) {
        const [url, seconds] = args;
        let reply;
        if (await retryUntil(seconds, async () => (reply = await get(url)).status === 200))
            return 0;
        console.error(url + ' did not answer within ' + seconds + ' s: ' + JSON.stringify(reply));
        return 1;
    }
    if (mode === 'values' && args.length === 4) {
        const [server, folder, provider, seconds] = args;
        const last = {};
        let wrong;
        if (await retryUntil(seconds, async () =>
                (wrong = await problem(server, folder, provider, last)) === null)) {
            console.log('headingTrue: ' + last.heading.body);
            console.log('attitude: ' + last.attitude.body);
            return 0;
        }
        console.error('after ' + seconds + ' s: ' + wrong);
        for (const [what, reply] of Object.entries(last))
            console.error(what + ': ' + reply.status + ' ' + reply.body);
        return 1;
    }
    console.error('usage: signalk_server_check.js wait URL SECONDS | ' +
                  'values SERVER RECORD_DIR PROVIDER SECONDS');
    return 2;
}

main().then((code) => process.exit(code));
