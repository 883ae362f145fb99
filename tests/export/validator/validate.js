// Validates one glTF asset (.glb or .gltf with its files beside it) with the Khronos
// glTF validator and prints its report as JSON. Exit code 0 when the asset has no
// errors and no warnings, 1 when it has either, 2 when it cannot be validated at all.
//
//   node tests/export/validator/validate.js zone111.gltf
'use strict';

const fs = require('fs');
const path = require('path');
const validator = require('gltf-validator');

async function main() {
    const file = process.argv[2];
    if (!file) {
        console.error('usage: node validate.js FILE.glb|FILE.gltf');
        return 2;
    }
    const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
        uri: path.basename(file),
        maxIssues: 0,
        writeTimestamp: false,
        externalResourceFunction: (uri) =>
            fs.promises.readFile(path.resolve(path.dirname(file), decodeURIComponent(uri))).then((d) => new Uint8Array(d)),
    });
    console.log(JSON.stringify(report, null, 1));
    return report.issues.numErrors === 0 && report.issues.numWarnings === 0 ? 0 : 1;
}

main().then((code) => process.exit(code), (error) => {
    console.error(String(error));
    process.exit(2);
});
