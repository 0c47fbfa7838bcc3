// Validates a CycloneDX 1.6 JSON bill of materials against the schema, with
// CycloneDX's own library: node validate.js FILE
const fs = require('fs');
const CDX = require('@cyclonedx/cyclonedx-library');

const validator = new CDX.Validation.JsonStrictValidator(CDX.Spec.Version.v1dot6);
validator.validate(fs.readFileSync(process.argv[2], 'utf8')).then((errors) => {
  if (errors !== null) {
    console.log(JSON.stringify(errors, null, 2));
    process.exit(1);
  }
  console.log(`${process.argv[2]}: valid CycloneDX 1.6`);
});
