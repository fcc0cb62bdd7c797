// Puts the page together: node web/assemble.mjs OUT_DIR
// OUT_DIR already holds the engine (engine/zendrik.js and .wasm). This copies the page's files
// beside it, with the program's icon, and writes the service worker's list of files to cache,
// with a version made from their contents, so that a new build replaces the cache of the old.
import { createHash } from 'node:crypto';
import { copyFileSync, mkdirSync, readdirSync, readFileSync, statSync, writeFileSync } from 'node:fs';
import { dirname, join, relative, sep } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const out = process.argv[2];
if (!out) {
  console.error('usage: node web/assemble.mjs OUT_DIR');
  process.exit(2);
}

function copyTree(from, to) {
  mkdirSync(to, { recursive: true });
  for (const name of readdirSync(from)) {
    const source = join(from, name);
    if (statSync(source).isDirectory()) copyTree(source, join(to, name));
    else copyFileSync(source, join(to, name));
  }
}

function filesUnder(dir) {
  const found = [];
  for (const name of readdirSync(dir)) {
    const path = join(dir, name);
    if (statSync(path).isDirectory()) found.push(...filesUnder(path));
    else found.push(path);
  }
  return found;
}

copyTree(join(here, 'page'), out);
mkdirSync(join(out, 'icons'), { recursive: true });
copyFileSync(join(here, '..', 'resources', 'icons', 'zendrik.svg'), join(out, 'icons', 'zendrik.svg'));

for (const needed of ['engine/zendrik.js', 'engine/zendrik.wasm']) {
  try {
    statSync(join(out, needed));
  } catch {
    console.error(`assemble: ${join(out, needed)} is missing: build the engine into ${out} first`);
    process.exit(1);
  }
}

const worker = join(out, 'sw.js');
const files = filesUnder(out)
  .filter((f) => f !== worker)
  .map((f) => relative(out, f).split(sep).join('/'))
  .sort();
const hash = createHash('sha256');
for (const f of files) hash.update(`${f}\0`).update(readFileSync(join(out, f)));
const version = hash.digest('hex').slice(0, 16);
const list = ['./', ...files.map((f) => `./${f}`)];
const source = readFileSync(join(here, 'page', 'sw.js'), 'utf8')
  .replace("'@VERSION@'", JSON.stringify(version))
  .replace("['@FILES@']", JSON.stringify(list));
writeFileSync(worker, source);
console.log(`assembled ${files.length + 1} files into ${out} (cache ${version})`);
