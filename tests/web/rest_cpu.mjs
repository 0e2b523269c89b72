// Reading at rest in the browser against a bare page, side by side in one
// run of Debian's chromium: the CPU share of all of chromium's processes
// while
// - bare: a page that puts a full 800 x 600 frame (new pixels each time) on
//   its canvas every animation frame, and nothing else;
// - reader: the browser edition showing the editorial (its text area as
//   `magtool shot` draws it) with module 1 playing,
// each on a first visit (a fresh profile) and after a reload. The bare page
// is measured before and after the reader, and the reader is compared with
// the mean of the two, so that a change in the machine's load touches both
// alike. Fails when the reader costs more than --limit times the bare page
// on either visit, or its display compositor (chromium's GPU process, which
// composites in software here) more than --compositor-limit times the bare
// page's.
//
// node rest_cpu.mjs --web-dir DIR --magtool PATH --node-modules DIR [--seconds 6] [--limit 1.3]
//   [--compositor-limit 0.7]
import { createRequire } from 'node:module';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { CHROMIUM_ARGS, areaDifferences, checker, parseArgs, referenceArea, waitForLitFrame } from './pictures.mjs';

const args = parseArgs();
const webDir = path.resolve(args['web-dir']);
const seconds = Number(args.seconds || 6);
const limit = Number(args.limit || 1.3);
const compositorLimit = Number(args['compositor-limit'] || 0.7);
const { check, failures } = checker();
if (!fs.existsSync(path.join(webDir, 'index.wasm'))) {
  console.log(`FAIL no browser edition in ${webDir} (cmake --preset web && cmake --build --preset web)`);
  process.exit(1);
}
const { chromium } = createRequire(import.meta.url)(path.join(path.resolve(args['node-modules']), 'playwright-core'));
const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'qv_rest_cpu_'));
const editorial = referenceArea(args.magtool, workDir, 'editorial', ['--article', '11']);

const barePage = `<!doctype html><html><head><meta charset="utf-8"><title>bare</title>
<style>html,body{margin:0;height:100%;background:#000;overflow:hidden}body{display:flex;align-items:center;justify-content:center}
canvas{width:min(100vw,calc((100vh - 24px)*4/3));height:min(75vw,calc(100vh - 24px));image-rendering:pixelated}</style></head>
<body><canvas id="canvas" width="800" height="600"></canvas><script>
const g = document.getElementById('canvas').getContext('2d', { alpha: false });
const image = new ImageData(800, 600);
const words = new Uint32Array(image.data.buffer);
let n = 0;
const frame = () => {
  ++n;
  for (let i = 0; i < words.length; i += 1) words[i] = 0xff000000 | ((i + n) & 0xff) << 8;
  g.putImageData(image, 0, 0);
  requestAnimationFrame(frame);
};
requestAnimationFrame(frame);
</script></body></html>`;

const server = http.createServer((req, res) => {
  const name = new URL(req.url, 'http://x').pathname.replace(/^\/+/, '') || 'index.html';
  if (name === 'bare.html') {
    res.writeHead(200, { 'Content-Type': 'text/html' });
    res.end(barePage);
    return;
  }
  const file = path.join(webDir, path.basename(name));
  if (!fs.existsSync(file)) { res.writeHead(404); res.end(); return; }
  const type = name.endsWith('.wasm') ? 'application/wasm' : name.endsWith('.js') ? 'text/javascript' : 'text/html';
  res.writeHead(200, { 'Content-Type': type });
  fs.createReadStream(file).pipe(res);
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const port = server.address().port;
const hz = Number(execFileSync('getconf', ['CLK_TCK']).toString());

// CPU ticks (user + system) of every process of one chromium profile, and
// of its GPU process alone (with software rendering: the display compositor).
const ticks = (profile) => {
  const sum = { all: 0, compositor: 0 };
  for (const pid of fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p))) {
    try {
      const command = fs.readFileSync(`/proc/${pid}/cmdline`, 'latin1');
      if (!command.includes(profile)) continue;
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'latin1');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      const used = Number(fields[11]) + Number(fields[12]);
      sum.all += used;
      if (command.includes('--type=gpu-process')) sum.compositor += used;
    } catch (e) { /* gone */ }
  }
  return sum;
};

// Start click, the intro until it is lit, Escape, then the reader at rest:
// the editorial's text area as magtool draws it.
async function toReader(page) {
  await page.waitForFunction(() => document.body.classList.contains('qv-ready'), null, { timeout: 60000 });
  const box = await page.locator('#canvas').boundingBox();
  await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
  await waitForLitFrame(page, 60000);
  await page.mouse.move(box.x + 10, box.y + 10);
  await page.keyboard.press('Escape');
  const deadline = Date.now() + 60000;
  while ((await areaDifferences(page, editorial)) !== 0) {
    if (Date.now() > deadline) throw new Error('the reader did not show the editorial');
    await page.waitForTimeout(200);
  }
  const playing = await page.evaluate(() => window.qvAudio.framesPlayed);
  await page.waitForTimeout(1000);
  if ((await page.evaluate(() => window.qvAudio.framesPlayed)) === playing) throw new Error('no music in the reader');
}

// How long after chromium's start the reader was at rest on its first visit
// (until it has been measured: a guess).
let restAfterLaunchMs = 12000;

async function measure(which) {
  const profile = fs.mkdtempSync(path.join(workDir, `profile_${which}_`));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium', headless: true, viewport: { width: 1200, height: 924 }, args: CHROMIUM_ARGS,
  });
  const shares = {};
  const launched = Date.now();
  try {
    const page = context.pages()[0] || (await context.newPage());
    for (const visit of ['first visit', 'after reload']) {
      if (visit === 'first visit') await page.goto(`http://127.0.0.1:${port}/${which === 'reader' ? 'index' : which}.html`);
      else await page.reload();
      if (which === 'reader') {
        await toReader(page);
        if (visit === 'first visit') restAfterLaunchMs = Date.now() - launched;
      } else {
        // A fresh profile keeps chromium busy for some seconds after its
        // start (the bare page costs up to half as much again then): on its
        // first visit the bare page is measured no earlier after the start
        // than the reader, which has the load, the intro and the hand-over
        // to go through first.
        const settledMs = visit === 'first visit' ? Math.max(2000, restAfterLaunchMs - (Date.now() - launched)) : 2000;
        await page.waitForFunction((ms) => performance.now() > ms, settledMs, { polling: 100 });
      }
      const before = ticks(profile), t0 = Date.now();
      await page.waitForTimeout(seconds * 1000);
      const after = ticks(profile), elapsed = (Date.now() - t0) / 1000;
      shares[visit] = { all: (after.all - before.all) / hz / elapsed,
                        compositor: (after.compositor - before.compositor) / hz / elapsed };
    }
  } finally {
    await context.close();
  }
  return shares;
}

let exitCode = 1;
try {
  const bare = await measure('bare');
  const reader = await measure('reader');
  const bareAgain = await measure('bare');
  const percent = (x) => `${(100 * x).toFixed(1)} %`;
  for (const visit of ['first visit', 'after reload']) {
    const share = (which, part) => which[visit][part];
    const b = (share(bare, 'all') + share(bareAgain, 'all')) / 2;
    const ratio = share(reader, 'all') / b;
    check(ratio <= limit, `${visit}: reader ${percent(share(reader, 'all'))} of one core, bare page ${percent(b)} ` +
                          `(${percent(share(bare, 'all'))}, ${percent(share(bareAgain, 'all'))}): ` +
                          `${ratio.toFixed(2)} times, at most ${limit}`);
    // Only the band that changed reaches the compositor: it composites a
    // fraction of what the full frame costs it.
    const c = (share(bare, 'compositor') + share(bareAgain, 'compositor')) / 2;
    const compositorRatio = share(reader, 'compositor') / c;
    check(compositorRatio <= compositorLimit,
          `${visit}: the display compositor ${percent(share(reader, 'compositor'))} for the reader, ${percent(c)} ` +
          `for the bare page: ${compositorRatio.toFixed(2)} times, at most ${compositorLimit}`);
  }
  exitCode = failures.length === 0 ? 0 : 1;
} catch (e) {
  console.log(`FAIL ${e.message}`);
} finally {
  server.close();
  fs.rmSync(workDir, { recursive: true, force: true });
}
process.exit(exitCode);
