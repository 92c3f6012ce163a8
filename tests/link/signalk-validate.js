// Validates Signal K messages against the official schema: node
// signalk-validate.js MODULES_DIR FILE... where each FILE holds one JSON
// message, a hello when its name ends in "hello.json", else a delta.
//
// A delta must hold as a delta; its values must also hold in the full model
// a server builds of them (each path's value of the type and form Signal K
// defines): the navigation values merged into a vessel's data, every
// notification against the notification's definition. The model's sources
// branch is left out: the package's converter files an NMEA 0183 source
// without a sentence (optional in a delta) under "sentences/undefined".
'use strict';
const path = require('path');
const fs = require('fs');
const modules = process.argv[2];
const schema = require(path.join(modules, '@signalk/signalk-schema'));
const tv4 = schema.getTv4();
const hello = require(path.join(modules, '@signalk/signalk-schema/schemas/hello.json'));
// The notification's definition, under the address the package gives its group.
const notification =
    tv4.getSchemaUris().find((uri) => uri.endsWith('/groups/notifications.json')) +
    '#/definitions/notification';
const vessel = 'urn:mrn:signalk:uuid:6b0e776f-811a-4b35-980e-b93405371bc5';
const copy = (o) => JSON.parse(JSON.stringify(o));
let failures = 0;
for (const file of process.argv.slice(3)) {
    const message = JSON.parse(fs.readFileSync(file, 'utf8'));
    const problems = [];
    const report = (what, errors) => {
        for (const e of errors)
            problems.push(what + ': ' + e.message + ' at ' + e.dataPath);
    };
    if (file.endsWith('hello.json')) {
        const result = tv4.validateResult(message, hello, true, true);
        if (!result.valid)
            report('hello', [result.error]);
    } else {
        report('delta', schema.validateDelta(copy(message)).errors);
        const values = copy(message);
        values.context = 'vessels.' + vessel;
        for (const update of values.updates) {
            for (const v of update.values.filter((v) => v.path.startsWith('notifications.'))) {
                const leaf = {value: v.value, timestamp: update.timestamp, $source: 'quillmar.XX'};
                const result = tv4.validateMultiple(leaf, tv4.getSchema(notification), true, true);
                report(v.path, result.errors);
            }
            update.values = update.values.filter((v) => !v.path.startsWith('notifications.'));
        }
        const full = schema.deltaToFull(values);
        delete full.sources;
        Object.assign(full, {version: '1.7.0', aircraft: {}, aton: {}, sar: {}});
        const result = schema.validateFull(full);
        if (!result.valid)
            report('model', result.errors);
    }
    if (problems.length) {
        ++failures;
        console.log(file + ':\n  ' + problems.join('\n  '));
    }
}
process.exit(failures ? 1 : 0);
