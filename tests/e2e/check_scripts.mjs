// Every script of the HTML files named on the command line must parse: the
// script elements and the event handler attributes. Prints what does not
// and exits 1.
//
//   node check_scripts.mjs <file>...
import { readFileSync } from 'node:fs';

let failures = 0;
const decode = (s) => s.replace(/&quot;/g, '"').replace(/&#39;/g, "'").replace(/&lt;/g, '<')
  .replace(/&gt;/g, '>').replace(/&amp;/g, '&');
for (const file of process.argv.slice(2)) {
  const html = readFileSync(file, 'utf8');
  const pieces = [];
  for (const m of html.matchAll(/<script[^>]*>([\s\S]*?)<\/script>/gi)) pieces.push(m[1]);
  for (const m of html.matchAll(/\son[A-Za-z]+="([^"]*)"/g)) pieces.push(decode(m[1]));
  for (const m of html.matchAll(/href=["']javascript:([^"']*)["']/g)) pieces.push(decode(m[1]));
  for (const piece of pieces) {
    try {
      new Function(piece);
    } catch (error) {
      failures++;
      console.log(`${file}: ${error.message}\n${piece}`);
    }
  }
  if (pieces.length === 0) {
    failures++;
    console.log(`${file}: no script`);
  }
}
process.exit(failures === 0 ? 0 : 1);
