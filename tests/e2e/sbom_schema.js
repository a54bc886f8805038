// node sbom_schema.js <node_modules folder> <bom.cdx.json>
// The SBOM against the official CycloneDX 1.5 JSON schema (shipped by the
// CycloneDX library on npm), and its licences as SPDX expressions.
const [modules, file] = process.argv.slice(2);
const need = (name) => require(`${modules}/${name}`);
const schemas = `@cyclonedx/cyclonedx-library/res/schema`;
const Ajv = need('ajv').default;
const ajv = new Ajv({ strict: false, allErrors: true });
need('ajv-formats')(ajv);
need('ajv-formats-draft2019')(ajv);
for (const name of ['spdx.SNAPSHOT.schema.json', 'jsf-0.82.SNAPSHOT.schema.json'])
  ajv.addSchema(need(`${schemas}/${name}`), `http://cyclonedx.org/schema/${name}`);
const bom = JSON.parse(require('fs').readFileSync(file, 'utf8'));
if (!ajv.validate(need(`${schemas}/bom-1.5.SNAPSHOT.schema.json`), bom)) {
  console.log(JSON.stringify(ajv.errors, null, 1));
  process.exit(1);
}
const parts = [bom.metadata.component, ...bom.components, ...bom.metadata.tools.components];
for (const part of parts) for (const licence of part.licenses) need('spdx-expression-parse')(licence.expression);
console.log(`valid CycloneDX ${bom.specVersion} (official schema); ${parts.length} licence expressions valid SPDX`);
