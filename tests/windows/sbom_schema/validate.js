// Validates a CycloneDX 1.5 JSON bill of materials against the JSON schema
// that the CycloneDX library ships (with the SPDX and JSF schemas it refers
// to), with ajv set up as that library's own validator sets it up. Prints
// each error and exits 1 when the document is not valid.
// usage: node validate.js SBOM
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const Ajv = require('ajv');
const addFormats = require('ajv-formats');
const addDraft2019Formats = require('ajv-formats-draft2019');

const schemaDir = path.join(__dirname, 'node_modules', '@cyclonedx', 'cyclonedx-library', 'res', 'schema');
const read = (file) => JSON.parse(fs.readFileSync(file, 'utf-8'));
const schemas = {};
for (const name of ['spdx', 'jsf-0.82', 'cryptography-defs']) {
  schemas[`http://cyclonedx.org/schema/${name}.SNAPSHOT.schema.json`] = read(path.join(schemaDir, `${name}.SNAPSHOT.schema.json`));
}
const ajv = new Ajv({
  useDefaults: false,
  strict: false,
  strictSchema: false,
  addUsedSchema: false,
  loadSchema: (uri) => { throw new Error(`remote schemas are not fetched: ${uri}`); },
  schemas,
});
addFormats(ajv);
addDraft2019Formats(ajv, { formats: ['idn-email'] });
ajv.addFormat('iri-reference', true);
const validate = ajv.compile(read(path.join(schemaDir, 'bom-1.5.SNAPSHOT.schema.json')));

const document = read(process.argv[2]);
if (document.specVersion !== '1.5') {
  console.log(`specVersion is ${JSON.stringify(document.specVersion)}, and this checks CycloneDX 1.5`);
  process.exit(1);
}
if (!validate(document)) {
  for (const error of validate.errors) {
    console.log(`${error.instancePath || '/'}: ${error.message} ${JSON.stringify(error.params)}`);
  }
  process.exit(1);
}
