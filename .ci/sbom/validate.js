// Validates a CycloneDX 1.6 JSON bill of materials against the schema, with
// CycloneDX's own library: node validate.js FILE
const fs = require('fs');
const CDX = require('@cyclonedx/cyclonedx-library');

const file = process.argv[2];
const text = fs.readFileSync(file, 'utf8');
if (JSON.parse(text).specVersion !== '1.6') {
  console.log(`${file}: not CycloneDX 1.6`);
  process.exit(1);
}
new CDX.Validation.JsonStrictValidator('1.6').validate(text).then((errors) => {
  if (errors !== null) {
    console.log(JSON.stringify(errors, null, 2));
    process.exit(1);
  }
  console.log(`${file}: valid CycloneDX 1.6`);
});
