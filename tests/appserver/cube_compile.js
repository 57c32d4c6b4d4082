// Compiles a cube model file with the semantic layer's own schema compiler and
// prints, for each query given, the SQL it generates, as one JSON array.
//   node cube_compile.js MODULES_DIR MODEL.yml DIALECT QUERIES.json
// Exits 1 with the compiler's messages when the model does not compile.
'use strict';
const fs = require('fs');
const path = require('path');

const [modulesDir, modelPath, dialect, queriesPath] = process.argv.slice(2);
const compiler = require(path.resolve(modulesDir, '@cubejs-backend', 'schema-compiler'));

const repository = {
  localPath: () => path.dirname(modelPath),
  dataSchemaFiles: async () => [
    { fileName: path.basename(modelPath), content: fs.readFileSync(modelPath, 'utf8') },
  ],
};

// The compiler's native part renders Jinja templates and runs the optional
// native planner; its binary is downloaded by an install script that may not
// reach its host. Our files are plain YAML compiled by the JavaScript
// planner, so without the binary a template engine that refuses stands in.
function nativeInstance() {
  try {
    const native = require(path.resolve(modulesDir, '@cubejs-backend', 'native'));
    const instance = new native.NativeInstance();
    instance.getNative();
    return instance;
  } catch (e) {
    const refuse = () => {
      throw new Error('Jinja templates need the native module');
    };
    return { newJinjaEngine: () => ({ loadTemplate: refuse, renderTemplate: refuse }) };
  }
}

(async () => {
  const compilers = compiler.prepareCompiler(repository, {
    adapter: dialect,
    nativeInstance: nativeInstance(),
  });
  try {
    await compilers.compiler.compile();
  } catch (e) {
    process.stderr.write(String(e.message || e) + '\n');
    process.exit(1);
  }
  const queries = JSON.parse(fs.readFileSync(queriesPath, 'utf8'));
  const out = [];
  for (const q of queries) {
    // The JavaScript planner: the native one needs the same binary.
    const query = compiler.createQuery(compilers, dialect, { ...q, useNativeSqlPlanner: false });
    const [sql, params] = query.buildSqlAndParams();
    out.push({ sql, params });
  }
  process.stdout.write(JSON.stringify(out) + '\n');
})().catch((e) => {
  process.stderr.write(String(e.stack || e) + '\n');
  process.exit(1);
});
